// Prints the expected segments of a frame, one "x0 y0 x1 y1" line each, in
// pixels. The render tier draws with the real GL and so cannot link the
// recorder that yields the models' vertices; it runs this instead.
#include <stdio.h>
#include <stdlib.h>

#include "model_segments.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: %s MODEL XROT YROT WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    std::vector<Segment> segments =
        ExpectedSegments((ModelKind)atoi(argv[1]), (float)atof(argv[2]), (float)atof(argv[3]),
                         atoi(argv[4]), atoi(argv[5]));
    for (const Segment& s : segments)
        printf("%.17g %.17g %.17g %.17g\n", s.x0, s.y0, s.x1, s.y1);
    return 0;
}
