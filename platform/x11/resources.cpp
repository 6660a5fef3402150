// Finding the program's compiled resources (see tools/rc).
#include "resources.h"

#include <stdlib.h>

// A name "#101" stands for the integer id 101, as the platform reads it.
static bool ParseNumberName(LPCSTR name, WORD* id) {
    if (name[0] != '#' || name[1] < '0' || name[1] > '9')
        return false;
    char* end;
    unsigned long value = strtoul(name + 1, &end, 10);
    if (*end != '\0' || value > 0xFFFF)
        return false;
    *id = (WORD)value;
    return true;
}

const ResourceEntry* FindResource(HINSTANCE instance, LPCSTR name, WORD type) {
    (void)instance; // the program is the one module
    WORD id;
    if (IS_INTRESOURCE(name))
        id = (WORD)(UINT_PTR)name;
    else if (!ParseNumberName(name, &id))
        return NULL; // the compiler gives every resource an integer id
    for (int i = 0; i < MODULE_RESOURCES.count; i++) {
        const ResourceEntry* entry = &MODULE_RESOURCES.entries[i];
        if (entry->type == type && entry->id == id)
            return entry;
    }
    return NULL;
}
