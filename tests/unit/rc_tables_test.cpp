// The tables kovra_rc made of resources/robot.rc, as the layer finds them.
#include "platform/x11/resources.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct MenuRow {
    UINT flags;
    UINT id;
    const char* text;
};

TEST(RcTables, MainMenuItemsInOrderWithFlags) {
    // Depth first; MF_END on the last item of each level.
    const MenuRow expected[] = {
        {MF_POPUP, 0, "&File"},          {MF_END, IDM_EXIT, "E&xit"},
        {MF_POPUP, 0, "Robot"},          {MF_CHECKED, IDM_CYLINDER, "Cylinder"},
        {0, IDM_ARM1, "Arm1"},           {MF_END, IDM_ARM2, "Arm2"},
        {MF_POPUP | MF_END, 0, "&Help"}, {MF_END, IDM_ABOUT, "&About"},
    };
    const int count = sizeof expected / sizeof expected[0];
    const ResourceEntry* menu = FindResource(NULL, MAKEINTRESOURCEA(IDR_MAINMENU), RT_MENU_ID);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->count, count);
    const MenuItemTemplate* items = (const MenuItemTemplate*)menu->data;
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE("item " + std::to_string(i));
        EXPECT_EQ(items[i].flags, expected[i].flags);
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_STREQ(items[i].text, expected[i].text);
    }
}

TEST(RcTables, AboutDialogHeader) {
    const ResourceEntry* entry = FindResource(NULL, MAKEINTRESOURCEA(IDD_ABOUT), RT_DIALOG_ID);
    ASSERT_NE(entry, nullptr);
    const DialogTemplate* dialog = (const DialogTemplate*)entry->data;
    EXPECT_EQ(dialog->style,
              (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, 231);
    EXPECT_EQ(dialog->cy, 270);
    EXPECT_STREQ(dialog->caption, "About OpenGL");
    EXPECT_STREQ(dialog->fontName, "MS Sans Serif");
    EXPECT_EQ(dialog->pointSize, 8);
}

struct ControlRow {
    WORD id;
    const char* className;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

const DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
const DWORD GROUP_STYLE = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
const DWORD TEXT_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
const WORD NONE = 0xFFFF;

TEST(RcTables, AboutDialogControlsInTemplateOrder) {
    const ControlRow expected[] = {
        {IDOK, "BUTTON", "OK", 90, 249, 50, 14, BUTTON_STYLE},
        {1000, "STATIC", "vendor", 61, 29, 153, 8, TEXT_STYLE},
        {NONE, "BUTTON", "glGetString", 7, 11, 217, 102, GROUP_STYLE},
        {NONE, "STATIC", "Vendor:", 23, 29, 26, 8, TEXT_STYLE},
        {NONE, "STATIC", "Renderer:", 17, 44, 32, 8, TEXT_STYLE},
        {NONE, "STATIC", "Version:", 23, 59, 26, 8, TEXT_STYLE},
        {NONE, "STATIC", "Extensions:", 12, 74, 37, 8, TEXT_STYLE},
        {1001, "STATIC", "Renderer", 61, 44, 152, 8, TEXT_STYLE},
        {1002, "STATIC", "Version", 61, 59, 150, 8, TEXT_STYLE},
        {1003, "STATIC", "Extensions", 61, 74, 156, 36, TEXT_STYLE},
        {NONE, "BUTTON", "gluGetString", 7, 117, 217, 55, GROUP_STYLE},
        {NONE, "STATIC", "Version:", 15, 137, 35, 8, TEXT_STYLE},
        {NONE, "STATIC", "Extensions:", 15, 153, 37, 8, TEXT_STYLE},
        {1005, "STATIC", "Version", 61, 137, 153, 8, TEXT_STYLE},
        {1006, "STATIC", "Extensions", 61, 153, 153, 12, TEXT_STYLE},
        {NONE, "BUTTON", "Errors", 7, 177, 217, 64, GROUP_STYLE},
        {1007, "STATIC", "", 18, 195, 89, 8, TEXT_STYLE},
        {1008, "STATIC", "", 18, 208, 89, 8, TEXT_STYLE},
        {1009, "STATIC", "", 18, 221, 89, 8, TEXT_STYLE},
        {1010, "STATIC", "", 115, 195, 103, 8, TEXT_STYLE},
        {1011, "STATIC", "", 115, 208, 103, 8, TEXT_STYLE},
        {1012, "STATIC", "", 115, 221, 103, 8, TEXT_STYLE},
    };
    const int count = sizeof expected / sizeof expected[0];
    const ResourceEntry* entry = FindResource(NULL, MAKEINTRESOURCEA(IDD_ABOUT), RT_DIALOG_ID);
    ASSERT_NE(entry, nullptr);
    const DialogTemplate* dialog = (const DialogTemplate*)entry->data;
    ASSERT_EQ(dialog->itemCount, count);
    for (int i = 0; i < count; i++) {
        const DialogItemTemplate& item = dialog->items[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_STREQ(item.className, expected[i].className);
        EXPECT_STREQ(item.text, expected[i].text);
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
        EXPECT_EQ(item.style, expected[i].style);
        EXPECT_EQ(item.exStyle, 0u);
    }
}

TEST(RcTables, FindResourceByIdTypeAndNumberName) {
    const ResourceEntry* menu = FindResource(NULL, MAKEINTRESOURCEA(IDR_MAINMENU), RT_MENU_ID);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->type, RT_MENU_ID);
    EXPECT_EQ(menu->id, IDR_MAINMENU);
    // "#101" names integer id 101.
    EXPECT_EQ(FindResource(NULL, "#101", RT_MENU_ID), menu);
    // The id alone does not find it: the type must match too.
    EXPECT_EQ(FindResource(NULL, MAKEINTRESOURCEA(IDR_MAINMENU), RT_DIALOG_ID), nullptr);
    EXPECT_EQ(FindResource(NULL, MAKEINTRESOURCEA(IDD_ABOUT), RT_MENU_ID), nullptr);
    EXPECT_EQ(FindResource(NULL, MAKEINTRESOURCEA(999), RT_MENU_ID), nullptr);
    EXPECT_EQ(FindResource(NULL, "MAINMENU", RT_MENU_ID), nullptr);
    EXPECT_EQ(FindResource(NULL, "#10x", RT_MENU_ID), nullptr);
    EXPECT_EQ(FindResource(NULL, "#", RT_MENU_ID), nullptr);
}

// Reads the binary resource file windres writes, as the Windows build's
// program sees its resources.
struct ResReader {
    std::vector<unsigned char> bytes;
    size_t pos;
    bool ok;
};

WORD ReadWord(ResReader& r) {
    if (r.pos + 2 > r.bytes.size()) {
        r.ok = false;
        return 0;
    }
    WORD value = (WORD)(r.bytes[r.pos] | r.bytes[r.pos + 1] << 8);
    r.pos += 2;
    return value;
}

DWORD ReadDword(ResReader& r) {
    DWORD low = ReadWord(r);
    return low | (DWORD)ReadWord(r) << 16;
}

void Align4(ResReader& r) {
    r.pos = (r.pos + 3) & ~(size_t)3;
}

// A zero-terminated UTF-16 string (ASCII only here), or "#n" for an ordinal.
std::string ReadName(ResReader& r) {
    WORD first = ReadWord(r);
    if (first == 0xFFFF)
        return "#" + std::to_string(ReadWord(r));
    std::string text;
    for (WORD c = first; c != 0 && r.ok; c = ReadWord(r))
        text += (char)c;
    return text;
}

// The class atoms the dialog template uses for the predefined classes.
std::string ClassName(const std::string& name) {
    if (name == "#128")
        return "BUTTON";
    if (name == "#130")
        return "STATIC";
    return name;
}

void CompareMenu(ResReader& r, const ResourceEntry& entry) {
    ReadDword(r); // version and header size
    const MenuItemTemplate* items = (const MenuItemTemplate*)entry.data;
    for (int i = 0; i < entry.count; i++) {
        SCOPED_TRACE("menu item " + std::to_string(i));
        WORD flags = ReadWord(r);
        WORD id = flags & MF_POPUP ? 0 : ReadWord(r);
        std::string text = ReadName(r);
        // The binary form marks a separator by its empty item alone.
        EXPECT_EQ(flags, items[i].flags & ~(UINT)MF_SEPARATOR);
        EXPECT_EQ(id, items[i].id);
        EXPECT_EQ(text, items[i].text);
    }
}

void CompareDialog(ResReader& r, const ResourceEntry& entry) {
    const DialogTemplate* dialog = (const DialogTemplate*)entry.data;
    EXPECT_EQ(ReadDword(r), dialog->style);
    EXPECT_EQ(ReadDword(r), dialog->exStyle);
    WORD count = ReadWord(r);
    ASSERT_EQ(count, dialog->itemCount);
    EXPECT_EQ((short)ReadWord(r), dialog->x);
    EXPECT_EQ((short)ReadWord(r), dialog->y);
    EXPECT_EQ((short)ReadWord(r), dialog->cx);
    EXPECT_EQ((short)ReadWord(r), dialog->cy);
    EXPECT_EQ(ReadName(r), ""); // no menu
    EXPECT_EQ(ReadName(r), ""); // the default dialog class
    EXPECT_EQ(ReadName(r), dialog->caption);
    if (dialog->style & DS_SETFONT) {
        EXPECT_EQ(ReadWord(r), dialog->pointSize);
        EXPECT_EQ(ReadName(r), dialog->fontName);
    }
    for (int i = 0; i < count && r.ok; i++) {
        const DialogItemTemplate& item = dialog->items[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        Align4(r);
        EXPECT_EQ(ReadDword(r), item.style);
        EXPECT_EQ(ReadDword(r), item.exStyle);
        EXPECT_EQ((short)ReadWord(r), item.x);
        EXPECT_EQ((short)ReadWord(r), item.y);
        EXPECT_EQ((short)ReadWord(r), item.cx);
        EXPECT_EQ((short)ReadWord(r), item.cy);
        EXPECT_EQ(ReadWord(r), item.id);
        EXPECT_EQ(ClassName(ReadName(r)), item.className);
        EXPECT_EQ(ReadName(r), item.text);
        r.pos += ReadWord(r); // creation data
    }
}

// The Windows build compiles the same script with windres: both builds must
// get the same menu and dialog out of it.
TEST(RcTables, AgreeWithWindres) {
#ifndef WINDRES_PATH
    GTEST_SKIP() << "no windres on this machine";
#else
    std::string output = testing::TempDir() + "/robot_windres.res";
    std::string command = std::string(WINDRES_PATH) + " -I " + RESOURCES_DIR + " -O res -o " +
                          output + " " + RESOURCES_DIR + "/robot.rc";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream file(output, std::ios::binary);
    ResReader r{{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}, 0, true};

    int found = 0;
    while (r.pos + 8 <= r.bytes.size() && r.ok) {
        size_t start = r.pos;
        DWORD dataSize = ReadDword(r);
        DWORD headerSize = ReadDword(r);
        std::string type = ReadName(r);
        std::string name = ReadName(r);
        r.pos = start + headerSize;
        size_t next = (r.pos + dataSize + 3) & ~(size_t)3;
        if (type == "#4" || type == "#5") {
            WORD resourceType = type == "#4" ? RT_MENU_ID : RT_DIALOG_ID;
            SCOPED_TRACE(type + " " + name);
            const ResourceEntry* entry = FindResource(NULL, name.c_str(), resourceType);
            ASSERT_NE(entry, nullptr);
            if (resourceType == RT_MENU_ID)
                CompareMenu(r, *entry);
            else
                CompareDialog(r, *entry);
            found++;
        }
        r.pos = next;
    }
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(found, MODULE_RESOURCES.count);
#endif
}

} // namespace
