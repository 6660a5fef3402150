// The information dialog: which field gets which library string, how the
// pending errors are listed, and which commands end it.
#include <gtest/gtest.h>

#include "fake_gdi.h"
#include "gl_recorder.h"
#include "about/about_dialog.h"
#include "resources/resource.h"

namespace {

class About : public testing::Test {
  protected:
    void SetUp() override {
        ResetFakeGdi();
        ResetGlRecorder();
        glRecorder.glStrings = {{GL_VENDOR, "Vendor Co"},
                                {GL_RENDERER, "Soft Rasteriser"},
                                {GL_VERSION, "1.1 Test"},
                                {GL_EXTENSIONS, "GL_EXT_one GL_EXT_two"}};
        glRecorder.gluStrings = {{GLU_VERSION, "1.3"}, {GLU_EXTENSIONS, "GLU_EXT_three"}};
    }

    // What the dialog shows after one opening.
    std::map<int, std::string> Open() {
        fakeGdi.dialogTexts.clear();
        EXPECT_EQ(TRUE, AboutDlgProc(FAKE_DIALOG, WM_INITDIALOG, 0, 0));
        return fakeGdi.dialogTexts;
    }

    static std::string ErrorText(GLenum error) {
        return glRecorder.errorTexts.at(error);
    }
};

TEST_F(About, FillsLibraryStringsThenErrorsInOrder) {
    std::map<int, std::string> texts = Open();
    std::vector<GdiCall> want = {
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1000, Arg(glRecorder.glStrings[GL_VENDOR])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1001, Arg(glRecorder.glStrings[GL_RENDERER])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1002, Arg(glRecorder.glStrings[GL_VERSION])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1003, Arg(glRecorder.glStrings[GL_EXTENSIONS])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1005, Arg(glRecorder.gluStrings[GLU_VERSION])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1006, Arg(glRecorder.gluStrings[GLU_EXTENSIONS])}},
        {"SetDlgItemTextA", {Arg(FAKE_DIALOG), 1007, Arg(glRecorder.errorTexts[GL_NO_ERROR])}},
    };
    EXPECT_EQ(want, fakeGdi.calls);
    // The library was asked for exactly those strings.
    std::vector<GlCall> asked;
    for (const GlCall& call : glRecorder.calls)
        if (call.name != "glGetError" && call.name != "gluErrorString")
            asked.push_back(call);
    std::vector<GlCall> wantAsked = {
        {"glGetString", {GL_VENDOR}},    {"glGetString", {GL_RENDERER}},
        {"glGetString", {GL_VERSION}},   {"glGetString", {GL_EXTENSIONS}},
        {"gluGetString", {GLU_VERSION}}, {"gluGetString", {GLU_EXTENSIONS}},
    };
    EXPECT_EQ(wantAsked, asked);
    EXPECT_EQ("Vendor Co", texts[IDC_GL_VENDOR]);
    EXPECT_EQ("GLU_EXT_three", texts[IDC_GLU_EXTENSIONS]);
}

TEST_F(About, ListsPendingErrorsUpToSix) {
    const struct {
        std::vector<GLenum> pending;
        size_t readsWanted;
    } CASES[] = {
        {{}, 1},
        {{GL_INVALID_ENUM, GL_INVALID_VALUE}, 3},
        {{GL_INVALID_ENUM, GL_INVALID_VALUE, GL_INVALID_OPERATION, GL_STACK_OVERFLOW,
          GL_OUT_OF_MEMORY},
         6},
        {{GL_INVALID_ENUM, GL_INVALID_VALUE, GL_INVALID_OPERATION, GL_STACK_OVERFLOW,
          GL_STACK_UNDERFLOW, GL_OUT_OF_MEMORY},
         6},
        {{GL_INVALID_ENUM, GL_INVALID_VALUE, GL_INVALID_OPERATION, GL_STACK_OVERFLOW,
          GL_STACK_UNDERFLOW, GL_OUT_OF_MEMORY, GL_INVALID_ENUM},
         6},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(testing::Message() << c.pending.size() << " pending");
        ResetGlRecorder();
        glRecorder.pendingErrors.assign(c.pending.begin(), c.pending.end());
        std::map<int, std::string> texts = Open();

        // Each read error in turn, then the no-error text if a field is left.
        std::vector<GLenum> listed(c.pending.begin(),
                                   c.pending.begin() + std::min<size_t>(6, c.pending.size()));
        if (listed.size() < 6)
            listed.push_back(GL_NO_ERROR);
        for (int id = IDC_ERROR_FIRST; id < IDC_ERROR_FIRST + 6; id++) {
            size_t i = id - IDC_ERROR_FIRST;
            if (i < listed.size())
                EXPECT_EQ(ErrorText(listed[i]), texts[id]) << "field " << id;
            else
                EXPECT_EQ(0u, texts.count(id)) << "field " << id << " was touched";
        }
        size_t reads = 0;
        for (const GlCall& call : glRecorder.calls)
            reads += call.name == "glGetError";
        EXPECT_EQ(c.readsWanted, reads);
        EXPECT_EQ(c.pending.size() - std::min<size_t>(6, c.pending.size()),
                  glRecorder.pendingErrors.size());
    }
}

TEST_F(About, ASecondOpeningShowsTheErrorsGone) {
    glRecorder.pendingErrors = {GL_INVALID_ENUM, GL_INVALID_VALUE};
    Open();
    std::map<int, std::string> texts = Open();
    EXPECT_EQ(ErrorText(GL_NO_ERROR), texts[IDC_ERROR_FIRST]);
    EXPECT_EQ(0u, texts.count(IDC_ERROR_FIRST + 1));
}

TEST_F(About, MissingStringsLeaveTheirFieldsEmpty) {
    glRecorder.glStrings.erase(GL_VENDOR);
    glRecorder.glStrings.erase(GL_EXTENSIONS);
    glRecorder.gluStrings.clear();
    std::map<int, std::string> texts = Open();
    EXPECT_EQ("", texts.at(IDC_GL_VENDOR));
    EXPECT_EQ("Soft Rasteriser", texts.at(IDC_GL_RENDERER));
    EXPECT_EQ("", texts.at(IDC_GL_EXTENSIONS));
    EXPECT_EQ("", texts.at(IDC_GLU_VERSION));
    EXPECT_EQ("", texts.at(IDC_GLU_EXTENSIONS));
    EXPECT_EQ(ErrorText(GL_NO_ERROR), texts.at(IDC_ERROR_FIRST));
}

TEST_F(About, OnlyOkAndCloseEndTheDialog) {
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        bool ends;
    } CASES[] = {
        {"OK clicked", WM_COMMAND, MAKEWPARAM(IDOK, 0), true},
        {"OK with a notification code", WM_COMMAND, MAKEWPARAM(IDOK, 1), true},
        {"close box", WM_CLOSE, 0, true},
        {"Escape (cancel)", WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), false},
        {"another control", WM_COMMAND, MAKEWPARAM(IDC_GL_VENDOR, 0), false},
        {"OK's id in the high word only", WM_COMMAND, MAKEWPARAM(0, IDOK), false},
        {"a key", WM_KEYDOWN, VK_RETURN, false},
        {"a paint", WM_PAINT, 0, false},
    };
    for (const auto& c : CASES) {
        ResetFakeGdi();
        EXPECT_EQ(FALSE, AboutDlgProc(FAKE_DIALOG, c.message, c.wParam, 0)) << c.what;
        if (c.ends)
            EXPECT_EQ((std::vector<GdiCall>{{"EndDialog", {Arg(FAKE_DIALOG), 1}}}), fakeGdi.calls)
                << c.what;
        else
            EXPECT_TRUE(fakeGdi.calls.empty()) << c.what;
    }
}

} // namespace
