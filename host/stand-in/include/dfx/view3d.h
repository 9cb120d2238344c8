/* The host's 3-D view module "solid.so": a module may add mouse handlers
   (by name, one of them active at a time) and key handlers to the views,
   and ask where a click points. A module looks the four functions up with
   dfx_dlsym; their types are below.

   The stand-in's solid.so is a view without a window: it records what it
   is given, and the View3d_Test functions play clicks, drags and keys into
   it as a user would. */
#ifndef DFX_VIEW3D_H
#define DFX_VIEW3D_H

#include <dfx/dfx.h>

DFX_EXTERN_C_BEGIN

typedef struct View3d View3d;

/* Mouse events of the middle button: a click, or a press, moves and a release. */
typedef void (*View3dMouseFn)(View3d *view, int x, int y, void *data);
typedef struct View3dMouseHandler {
    const char *name; /* "kelmar:pick" */
    View3dMouseFn click, press, move, release;
    void *data;
} View3dMouseHandler;
/* Returns 1 when the key was handled; an unhandled key goes on to the view. */
typedef int (*View3dKeyFn)(View3d *view, int key, void *data);

typedef void (*View3d_AddMouseHandler_t)(const View3dMouseHandler *handler);
/* The eye position of the clicked point and the viewing direction through
   it (not normalised); 0 when the view has no such point. */
typedef int (*View3d_GetClickPoint_t)(View3d *view, int x, int y, double eye[3], double direction[3]);
typedef void (*View3d_AddKeyHandler_t)(View3dKeyFn key, void *data);
/* Makes the named mouse handler the middle button's; null or an unknown
   name gives the button back to the view (it then drags the frame). */
typedef int (*View3d_ActivateMouseHandler_t)(const char *name);

/* ---- The stand-in view's test entries (host side) ---- */
enum { VIEW3D_CLICK = 0, VIEW3D_PRESS = 1, VIEW3D_MOVE = 2, VIEW3D_RELEASE = 3 };
/* The eye and direction every click reports from now on. */
typedef void (*View3d_TestSetClickRay_t)(const double eye[3], const double direction[3]);
/* Plays a key: 1 when a module handled it; the view itself then does nothing. */
typedef int (*View3d_TestKey_t)(int key);
/* Plays a middle-button event into the active handler; 0 when none is active. */
typedef int (*View3d_TestMouse_t)(int event, int x, int y);
/* The active handler's name, "" when the view has the button. */
typedef const char *(*View3d_TestActiveHandler_t)(void);
typedef int (*View3d_TestHandlerCount_t)(void); /* mouse handlers + key handlers */
typedef void (*View3d_TestForget_t)(void);      /* drops every handler */

DFX_EXTERN_C_END

#endif
