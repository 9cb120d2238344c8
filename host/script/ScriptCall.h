/* The one calling convention of the script interface. The host fills a
   call record (the object, the arguments tagged with their kind and, for
   arrays, their length) and hands it with the entry's declared name to
   kelmar_invoke, which runs the entry function and returns 0, or 1 with
   the host exception it raised (identifier and text) in the record.
   Nothing else crosses between host and module. Plain C. */
#ifndef KELMAR_SCRIPTCALL_H
#define KELMAR_SCRIPTCALL_H

#ifdef __cplusplus
extern "C" {
#endif

enum KelmarKind {
    KELMAR_NONE,    /* an omitted pointer argument (NULL), or a void result */
    KELMAR_INT,     /* i */
    KELMAR_FLOAT,   /* f: 32-bit, as declared */
    KELMAR_FLOATS,  /* data, count: float array, read and written in place */
    KELMAR_INTS,    /* data, count: int array */
    KELMAR_BYTES,   /* data, count: 8-bit samples */
    KELMAR_TEXT,    /* text */
    KELMAR_OBJECT,  /* object, text: an object of the interface class named */
    KELMAR_OUT,     /* an array for the entry to allocate through the call's allocate */
    KELMAR_FUNCTION /* function: a C function the entry calls back while it runs */
};

/* How a C function travels in a call record. The entry casts it back to
   the parameters its declaration gives ("(*)(int iType, float* Force,
   float* Torque)"); a parameter list without a result type returns int, as
   in old C. */
typedef void (*KelmarFunction)(void);

#define KELMAR_MAX_ARGS 12

typedef struct KelmarArg {
    int kind;
    int i;
    float f;
    void *data;
    int count;        /* elements of data */
    int shape[3];     /* how an allocated result is laid out: rows, columns, planes (0: flat) */
    const char *text; /* KELMAR_TEXT; the class name for KELMAR_OBJECT */
    void *object;
    KelmarFunction function; /* KELMAR_FUNCTION */
} KelmarArg;

typedef struct KelmarCall KelmarCall;
/* Storage for count elements of size bytes for argument arg (-1: the
   result), owned by the caller; null when it cannot be had. */
typedef void *(*KelmarAllocate)(KelmarCall *call, int arg, int count, int size);

struct KelmarCall {
    void *self; /* the object of a method; the new object of a constructor */
    int argc;
    KelmarArg args[KELMAR_MAX_ARGS];
    KelmarArg result;
    KelmarAllocate allocate;
    void *context; /* the caller's, for allocate */
    char errorId[32];
    char errorText[512];
};

/* Runs the entry function of that declared name ("Universe_SetGravity",
   "Ref_Hinge", "FREE_Universe"): 0 when it returned; 1 with errorId and
   errorText when it raised a host exception; -1 when no entry has that
   name (errorId "kelmar:noentry"). */
int kelmar_invoke(const char *name, KelmarCall *call);

#ifdef __cplusplus
}
#endif

#endif
