/* The host interface a module is built against: the functions the visual
   data-flow host exports to its modules and the records a module hands the
   host. Everything here is plain C; a module includes nothing else of the
   host. The stand-in implements exactly this; the host-side functions that
   drive it (loading modules, creating units from labels, running programs)
   are in <dfx/standin.h>.

   Diagnostics and unit texts take the host's "%S" format as well: it
   consumes a DfxUnit* and writes the unit's path ("main/arm/universe"). */
#ifndef DFX_DFX_H
#define DFX_DFX_H

#include <stdio.h>

#ifdef __cplusplus
#define DFX_EXTERN_C_BEGIN extern "C" {
#define DFX_EXTERN_C_END }
#else
#define DFX_EXTERN_C_BEGIN
#define DFX_EXTERN_C_END
#endif

#if defined(__GNUC__)
#define DFX_NORETURN __attribute__((noreturn))
#else
#define DFX_NORETURN
#endif

DFX_EXTERN_C_BEGIN

typedef struct DfxUnit DfxUnit;
typedef struct DfxType DfxType;
typedef struct DfxDialog DfxDialog;
typedef struct DfxIconCanvas DfxIconCanvas;

/* ---- Version: a module records the host text it was built against ---- */
extern const char dfx_version_text[];
typedef struct DfxVersionRecord {
    const char *built;    /* dfx_version_text of the headers the module saw */
    const char *expected; /* the same, as the host compares it */
} DfxVersionRecord;

/* ---- Diagnostics: levels 0 info, 1 warning, 2 error ---- */
enum { DFX_INFO = 0, DFX_WARNING = 1, DFX_ERROR = 2 };
void dfx_diagnostics(int level, const char *format, ...);
void dfx_warning(const char *format, ...);
void dfx_error(const char *format, ...);

/* ---- Exceptions: raises the host exception id with a formatted text;
   the call does not return. ---- */
void prog_throw(const char *id, const char *format, ...) DFX_NORETURN;
/* Runs call(data); a host exception raised in it ends the call and is
   returned (1) with its id and text, cut to the sizes given; 0 otherwise.
   For a module's own entry points that must not let one escape. */
int prog_protect(void (*call)(void *), void *data, char *id, int idSize, char *text, int textSize);

/* ---- Files: name as given, then every directory of the search list ---- */
FILE *dfx_fopen(const char *name, const char *mode);

/* ---- Data types: the built-in ones are "int", "float" (float arrays),
   "text" and "bytes"; a module declares its own with copy, free and
   describe functions. ---- */
typedef void *(*DfxCopyFn)(const void *value, DfxUnit *unit);
typedef void (*DfxFreeFn)(void *value);
typedef void (*DfxDescribeFn)(const void *value, char *text, int size);
const DfxType *dfx_typedef(const char *name, DfxCopyFn copy, DfxFreeFn free, DfxDescribeFn describe);
const DfxType *dfx_type(const char *name); /* null when unknown */
const char *dfx_type_name(const DfxType *type);

/* ---- Modules: a name without '/' is looked for in the module path ---- */
void *dfx_dlopen(const char *name);
void *dfx_dlsym(void *module, const char *symbol);
void dfx_dlclose(void *module);

/* ---- Units ---- */
/* Control commands the host sends to a unit's control function. */
enum { DFX_CTRL_INIT = -7, DFX_CTRL_RESET = -21, DFX_CTRL_CHANGED = -52 };

typedef void (*DfxExecFn)(DfxUnit *unit);
typedef void (*DfxCtrlFn)(int command, DfxUnit *unit);
typedef void (*DfxSaveFn)(FILE *file, DfxUnit *unit);
typedef void (*DfxLoadFn)(FILE *file, DfxUnit *unit);
typedef void (*DfxRemoveFn)(DfxUnit *unit);
typedef struct DfxUnitHooks {
    DfxExecFn exec;     /* once per execution of the unit, may be null */
    DfxCtrlFn ctrl;     /* control commands, may be null */
    DfxSaveFn save;     /* program saving, may be null */
    DfxLoadFn load;     /* program loading, may be null */
    DfxRemoveFn remove; /* the unit goes: free what data points to */
} DfxUnitHooks;

/* A new unit in the program unit host, owning data through hooks->remove.
   name may be empty (an unnamed unit). */
DfxUnit *dfx_unit_new(DfxUnit *host, const char *label, const char *name, const DfxUnitHooks *hooks, void *data);
/* Removes a unit (its remove hook runs) and its sub-units. */
void dfx_unit_delete(DfxUnit *unit);
int dfx_is_unit(const DfxUnit *unit); /* a live unit of the tree */
int dfx_unit_is_program(const DfxUnit *unit);
DfxUnit *dfx_unit_root(void);
DfxUnit *dfx_unit_parent(const DfxUnit *unit);
int dfx_unit_child_count(const DfxUnit *unit);
DfxUnit *dfx_unit_child(const DfxUnit *unit, int index);
const char *dfx_unit_name(const DfxUnit *unit); /* "" when unnamed */
const char *dfx_unit_label(const DfxUnit *unit);
/* Names a unit; a unit whose name changes gets DFX_CTRL_CHANGED. */
void dfx_unit_set_name(DfxUnit *unit, const char *name);
/* The module's data of a unit; a method sub-unit answers its owner's. */
void *dfx_unit_data(const DfxUnit *unit);
/* The unit whose method a sub-unit is (the unit itself otherwise). */
DfxUnit *dfx_unit_owner(const DfxUnit *unit);

/* Ports; they are numbered in the order they are added, from 0. */
int dfx_unit_add_input(DfxUnit *unit, const char *name, const DfxType *type);
int dfx_unit_add_output(DfxUnit *unit, const char *name, const DfxType *type);
/* A method sub-unit: "step", or "Set:Gravity" in the group "Set". dialog
   (may be null) gives the defaults of inputs left unconnected. */
DfxUnit *dfx_unit_add_method(DfxUnit *unit, const char *path, DfxExecFn exec, const char *dialog);
/* Executes the unit's successors once; returns how many there are. */
int dfx_execute_successor(DfxUnit *unit);
/* How many successors the unit has (0: nothing is connected after it). */
int dfx_successor_count(const DfxUnit *unit);

/* Inputs. An unconnected input reads the unit's dialog field of the same
   index; with neither, or with a value of another type, the host raises
   "badarg:input". */
int dfx_in_connected(DfxUnit *unit, int port);
int dfx_in_int(DfxUnit *unit, int port);
float dfx_in_float(DfxUnit *unit, int port);
const float *dfx_in_floats(DfxUnit *unit, int port, int *count);
const char *dfx_in_text(DfxUnit *unit, int port);
/* The value of a declared type, or null when the output holds none. */
void *dfx_in_object(DfxUnit *unit, int port, const DfxType *type);

/* Outputs keep their value until the next write. */
void dfx_out_int(DfxUnit *unit, int port, int value);
float *dfx_out_floats(DfxUnit *unit, int port, int count); /* count floats to fill */
void dfx_out_text(DfxUnit *unit, int port, const char *text);
unsigned char *dfx_out_bytes(DfxUnit *unit, int port, int count);
/* owned: the output frees the value with its type's free function. */
void dfx_out_object(DfxUnit *unit, int port, const DfxType *type, void *value, int owned);

/* The fields of a method's dialog as the user left them (defaults first). */
const DfxDialog *dfx_unit_dialog(const DfxUnit *unit);

/* A unit's output values in the host's text form, for save and load hooks. */
void dfx_save_value(FILE *file, DfxUnit *unit);
int dfx_load_value(FILE *file, DfxUnit *unit);

/* ---- Dialogs: the values of a creation or method dialog, by field ---- */
int dfx_dialog_field_count(const DfxDialog *dialog);
int dfx_dialog_int(const DfxDialog *dialog, int field, int index);
double dfx_dialog_float(const DfxDialog *dialog, int field, int index);
const char *dfx_dialog_text(const DfxDialog *dialog, int field);
/* The name the user gave the new unit, "" for none. */
const char *dfx_dialog_unit_name(const DfxDialog *dialog);

/* ---- Module descriptor records the host reads ---- */
typedef DfxUnit *(*DfxIconCreateFn)(DfxUnit *host, const DfxDialog *dialog);
typedef void (*DfxIconDrawFn)(DfxIconCanvas *canvas);
typedef struct DfxIconDef {
    DfxIconCreateFn create;
    DfxIconDrawFn draw;
    const char *dialog;  /* creation dialog; "" for none */
    const char *buttons; /* the dialog's button row */
    const char *label;
    const char *module; /* file name of the module */
} DfxIconDef;
typedef struct DfxIconEntry {
    const char *folder; /* "" ends the list */
    const char *label;
    const DfxIconDef *icon;
} DfxIconEntry;
typedef struct DfxFolder {
    const char *name;
    const DfxIconEntry *icons;
} DfxFolder;

/* Icon drawing: a caption under a glyph of boxes and circles (0..31). */
void dfx_icon_caption(DfxIconCanvas *canvas, const char *text);
void dfx_icon_box(DfxIconCanvas *canvas, int x0, int y0, int x1, int y1);
void dfx_icon_circle(DfxIconCanvas *canvas, int x, int y, int radius);

DFX_EXTERN_C_END

#endif
