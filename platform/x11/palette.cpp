// Logical palettes as X colormaps: realising a palette on an indexed visual
// gives the window a private colormap holding the palette's colours.
#include <algorithm>

#include "layer.h"

static std::vector<HPALETTE> palettes;

static bool IsPalette(HGDIOBJ object) {
    return object != NULL && std::find(palettes.begin(), palettes.end(), object) != palettes.end();
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (palette == NULL || palette->palVersion != 0x300 || palette->palNumEntries == 0)
        return NULL;
    HPALETTE object = new GdiObject();
    object->kind = GDI_PALETTE;
    object->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    palettes.push_back(object);
    return object;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    (void)forceBackground; // one colormap per window: there is no background mapping
    if (dc == NULL || !IsPalette(palette))
        return NULL;
    HPALETTE previous = dc->palette;
    dc->palette = palette;
    return previous;
}

// The X window showing a window's client area.
static Window ClientWindowOf(HWND window) {
    return window->xClient != None ? window->xClient : window->xWindow;
}

UINT RealizePalette(HDC dc) {
    if (dc == NULL || !IsWindow(dc->window) || !IsPalette(dc->palette))
        return 0;
    HWND window = dc->window;
    int visualClass, depth;
    Visual* visual = ClientVisualOf(window, &visualClass, &depth);
    if (visualClass != PseudoColor && visualClass != GrayScale)
        return 0;

    if (dc->paletteColormap == None) {
        Window root = RootWindow(xDisplay, xScreen);
        dc->paletteColormap = XCreateColormap(xDisplay, root, visual, AllocAll);
        XSetWindowColormap(xDisplay, ClientWindowOf(window), dc->paletteColormap);
        HWND topLevel = TopLevelOf(window);
        Window list[2] = {ClientWindowOf(window), topLevel->xWindow};
        XSetWMColormapWindows(xDisplay, topLevel->xWindow, list, list[0] == list[1] ? 1 : 2);
    }
    const std::vector<PALETTEENTRY>& entries = dc->palette->entries;
    int count = std::min((int)entries.size(), visual->map_entries);
    std::vector<XColor> cells(count);
    UINT changed = 0;
    for (int i = 0; i < count; i++) {
        XColor& cell = cells[i];
        cell.pixel = (unsigned long)i;
        cell.red = (unsigned short)(entries[i].peRed * 257);
        cell.green = (unsigned short)(entries[i].peGreen * 257);
        cell.blue = (unsigned short)(entries[i].peBlue * 257);
        cell.flags = DoRed | DoGreen | DoBlue;
        // The platform counts the entries whose mapping changed.
        if (i >= (int)dc->realized.size() || dc->realized[i].red != cell.red ||
            dc->realized[i].green != cell.green || dc->realized[i].blue != cell.blue)
            changed++;
    }
    XStoreColors(xDisplay, dc->paletteColormap, cells.data(), count);
    dc->realized = cells;
    if (ActiveTopLevel() == TopLevelOf(window))
        XInstallColormap(xDisplay, dc->paletteColormap);
    return changed;
}

void InstallPaletteOf(HWND window) {
    if (window->dc != NULL && window->dc->paletteColormap != None)
        XInstallColormap(xDisplay, window->dc->paletteColormap);
    for (HWND child : window->children)
        InstallPaletteOf(child);
}

void OnColormapNotify(const XColormapEvent& event) {
    if (event.c_new || event.state != ColormapInstalled)
        return;
    HWND window = WindowOfX(event.window);
    if (window == NULL || window->dc == NULL || window->dc->paletteColormap != event.colormap)
        return;
    // Every top-level hears that this window's palette now holds the display.
    for (HWND other : std::vector<HWND>(AllWindows()))
        if (IsWindow(other) && other->parent == NULL)
            SendMessageA(other, WM_PALETTECHANGED, (WPARAM)window, 0);
}

BOOL UpdateColors(HDC dc) {
    return dc != NULL;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    if (!IsPalette(palette))
        return 0;
    UINT size = (UINT)palette->entries.size();
    if (entries == NULL)
        return size;
    if (start >= size)
        return 0;
    UINT copied = std::min(count, size - start);
    std::copy_n(palette->entries.begin() + start, copied, entries);
    return copied;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!IsPalette(object))
        return FALSE;
    // The platform lets a selected palette go; the device context forgets it.
    for (HWND window : AllWindows())
        if (window->dc != NULL && window->dc->palette == object)
            window->dc->palette = NULL;
    palettes.erase(std::find(palettes.begin(), palettes.end(), object));
    delete object;
    return TRUE;
}
