// The declaration tables of the script interface (see ScriptTables.cpp).
#ifndef KELMAR_HOST_SCRIPTTABLES_H
#define KELMAR_HOST_SCRIPTTABLES_H

extern "C" {
// Null-terminated lists of declaration texts.
extern const char *const FUNCTIONS_kelmar[];
// Null-terminated list of the 22 class descriptors, each such a list.
extern const char *const *const CLASSES_kelmar[];
}

#endif
