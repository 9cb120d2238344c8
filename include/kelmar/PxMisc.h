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
/* Sections are matched by name and may nest; only the outermost start of a
 * name is timed. flag only sorts the starts into two counters per frame:
 * count0 (flag 0) and count1 (any other flag). */
void PxProfileStartSectionFn(const char *name, int flag);
void PxProfileEndSectionFn(const char *name);
/* Writes the averages as a text table to out, or, when gnuplotFiles is set,
 * the data file and the four gnuplot scripts into the working directory.
 * "PxProfile.dat" has one line per frame: frame number, frame cycles, then
 * per section (in order of first use) cycles, calls, count0 and count1. */
void PxProfileOutputResults(FILE *out, int gnuplotFiles);
int PxProfileIsTiming(void);

PX_EXTERN_C_END

#endif
