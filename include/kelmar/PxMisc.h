/* Version string and timing hooks. */
#ifndef KELMAR_PXMISC_H
#define KELMAR_PXMISC_H

#include <stdio.h>
#include "PxTypes.h"

PX_EXTERN_C_BEGIN

const char *PxToolkitVersionString(void); /* "2.1.(build 655)" */

/* Timing hooks. Sections cost nothing until PxProfileStartTiming is called;
 * then each named section is measured with the time-stamp counter and
 * accumulated per frame. */
void PxProfileStartTiming(void);
void PxProfileStopTiming(void);
void PxProfileStartFrame(void);
void PxProfileEndFrame(void);
void PxProfileStartSectionFn(const char *name, int flag);
void PxProfileEndSectionFn(const char *name);
/* Writes the averages as a text table to out, or, when gnuplotFiles is set,
 * the data file and the four gnuplot scripts into the working directory. */
void PxProfileOutputResults(FILE *out, int gnuplotFiles);
int PxProfileIsTiming(void);

PX_EXTERN_C_END

#endif
