#include "gl_recorder.h"

#include <iomanip>
#include <ostream>

GlRecorder glRecorder;

bool operator==(const GlCall& a, const GlCall& b) {
    return a.name == b.name && a.args == b.args;
}

void PrintTo(const GlCall& call, std::ostream* out) {
    *out << call.name << "(" << std::setprecision(9);
    for (size_t i = 0; i < call.args.size(); i++)
        *out << (i ? ", " : "") << call.args[i];
    *out << ")";
}

// Appends one record; every entry point below goes through here.
static void Record(const char* name, std::vector<double> args = {}) {
    glRecorder.calls.push_back({name, std::move(args)});
}

void ResetGlRecorder() {
    glRecorder = GlRecorder();
}

std::vector<GlCall> RecordCalls(void (*draw)()) {
    std::vector<GlCall> saved;
    saved.swap(glRecorder.calls);
    draw();
    saved.swap(glRecorder.calls);
    return saved;
}

std::vector<GlPrimitive> PrimitivesOf(const std::vector<GlCall>& calls) {
    std::vector<GlPrimitive> primitives;
    bool open = false;
    for (const GlCall& call : calls) {
        if (call.name == "glBegin") {
            primitives.push_back({(GLenum)call.args[0], {}});
            open = true;
        } else if (call.name == "glEnd") {
            open = false;
        } else if (open && call.name == "glVertex2d") {
            primitives.back().vertices.push_back({call.args[0], call.args[1], 0, true});
        } else if (open && call.name == "glVertex3d") {
            primitives.back().vertices.push_back({call.args[0], call.args[1], call.args[2], false});
        }
    }
    return primitives;
}

// Looks up a scripted string; an unscripted one is the library's NULL.
static const GLubyte* Scripted(const std::map<GLenum, const char*>& table, GLenum name) {
    auto found = table.find(name);
    return (const GLubyte*)(found == table.end() ? nullptr : found->second);
}

extern "C" {

void glBegin(GLenum mode) {
    Record("glBegin", {(double)mode});
}

void glEnd(void) {
    Record("glEnd");
}

void glVertex2d(GLdouble x, GLdouble y) {
    Record("glVertex2d", {x, y});
}

void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    Record("glVertex3d", {x, y, z});
}

void glMatrixMode(GLenum mode) {
    Record("glMatrixMode", {(double)mode});
}

void glLoadIdentity(void) {
    Record("glLoadIdentity");
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
             GLdouble zFar) {
    Record("glOrtho", {left, right, bottom, top, zNear, zFar});
}

void glPushMatrix(void) {
    Record("glPushMatrix");
}

void glPopMatrix(void) {
    Record("glPopMatrix");
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    Record("glRotatef", {angle, x, y, z});
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    Record("glViewport", {(double)x, (double)y, (double)width, (double)height});
}

void glEnable(GLenum cap) {
    Record("glEnable", {(double)cap});
}

void glFrontFace(GLenum mode) {
    Record("glFrontFace", {(double)mode});
}

void glPolygonMode(GLenum face, GLenum mode) {
    Record("glPolygonMode", {(double)face, (double)mode});
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    Record("glClearColor", {red, green, blue, alpha});
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    Record("glColor3f", {red, green, blue});
}

void glClear(GLbitfield mask) {
    Record("glClear", {(double)mask});
}

void glFlush(void) {
    Record("glFlush");
}

const GLubyte* glGetString(GLenum name) {
    Record("glGetString", {(double)name});
    return Scripted(glRecorder.glStrings, name);
}

GLenum glGetError(void) {
    Record("glGetError");
    if (glRecorder.pendingErrors.empty())
        return GL_NO_ERROR;
    GLenum error = glRecorder.pendingErrors.front();
    glRecorder.pendingErrors.pop_front();
    return error;
}

const GLubyte* gluGetString(GLenum name) {
    Record("gluGetString", {(double)name});
    return Scripted(glRecorder.gluStrings, name);
}

const GLubyte* gluErrorString(GLenum error) {
    Record("gluErrorString", {(double)error});
    return Scripted(glRecorder.errorTexts, error);
}

} // extern "C"
