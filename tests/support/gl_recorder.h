// A recording stand-in for the GL 1.1 and GLU entry points the program uses,
// linked in place of libGL and libGLU: every call becomes a record the tests
// can read back, and the queries answer what the test scripted.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <deque>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// One call: its name and its numeric arguments in order, widened to double
// (enums and bit masks as their values).
struct GlCall {
    std::string name;
    std::vector<double> args;
};

bool operator==(const GlCall& a, const GlCall& b);
void PrintTo(const GlCall& call, std::ostream* out); // readable test failures

struct GlVertex {
    double x, y, z;
    bool is2d; // issued with glVertex2d (z is then 0)
};

// The vertices issued between one glBegin and its glEnd.
struct GlPrimitive {
    GLenum kind;
    std::vector<GlVertex> vertices;
};

struct GlRecorder {
    std::vector<GlCall> calls;
    std::map<GLenum, const char*> glStrings;  // glGetString's answers; missing → NULL
    std::map<GLenum, const char*> gluStrings; // gluGetString's answers; missing → NULL
    std::map<GLenum, const char*> errorTexts = {
        // gluErrorString's answers; missing → NULL
        {GL_NO_ERROR, "no error"},
        {GL_INVALID_ENUM, "invalid enumerant"},
        {GL_INVALID_VALUE, "invalid value"},
        {GL_INVALID_OPERATION, "invalid operation"},
        {GL_STACK_OVERFLOW, "stack overflow"},
        {GL_STACK_UNDERFLOW, "stack underflow"},
        {GL_OUT_OF_MEMORY, "out of memory"},
    };
    std::deque<GLenum> pendingErrors; // glGetError pops the front, then GL_NO_ERROR
};

extern GlRecorder glRecorder;

// Back to the start: empty log, no strings, no pending errors, the
// error texts above.
void ResetGlRecorder();

// The calls that draw issues, leaving the log as it was before.
std::vector<GlCall> RecordCalls(void (*draw)());

// The primitives among the calls, in order; vertex calls outside
// glBegin/glEnd belong to none.
std::vector<GlPrimitive> PrimitivesOf(const std::vector<GlCall>& calls);
