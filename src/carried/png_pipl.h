/* The carried PNG module's plug-in property list, in the notation of
   resources/pipl.h (read by the resource compiler and by C++ alike). */
#ifndef ICOFMT_CARRIED_PNG_PIPL_H
#define ICOFMT_CARRIED_PNG_PIPL_H

#include "resources/pipl.h"

#define ICOFMT_PNG_PIPL(ENTRY_KEY)                                                                         \
  1, 0L, 10L, "MIB8", "dnik", 0L, 4L, "FIB8", "MIB8", "srev", 0L, 4L, 0x00010000L, "MIB8", "eman", 0L, 4L, \
      "\003PNG", "MIB8", ENTRY_KEY, 0L, 12L, "ENTRYPOINT1\0", "MIB8", "edom", 0L, 4L, 0x000000F0L, "MIB8", \
      "xEdR", 0L, 4L, "PNG ", "MIB8", "xErW", 0L, 4L, "PNG ", "MIB8", "ftmf", 0L, 4L, 0x00000034L, "MIB8", \
      "zsxm", 0L, 4L, 5999, 5999, "MIB8", "hcxm", 0L, 32L, 1, 2, 1, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0

#endif
