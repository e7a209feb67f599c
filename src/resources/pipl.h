/* The module's plug-in property list, written once for both the resource
   compiler and C++ (pipl_bytes.h). In this notation a number without a suffix
   is a 16-bit word, a number with L a 32-bit value, both little-endian, and a
   string its characters without a terminator. Four-character codes are stored
   as little-endian integers, so they read backwards here; the extensions are
   the exception and read forwards. */
#ifndef ICOFMT_RESOURCES_PIPL_H
#define ICOFMT_RESOURCES_PIPL_H

/* Entry-point keys: 'wx86' for 32-bit hosts, '8664' for 64-bit hosts. */
#define ICOFMT_PIPL_KEY_X86 "68xw"
#define ICOFMT_PIPL_KEY_X64 "4668"

#define ICOFMT_PIPL(ENTRY_KEY)                                         \
  1, 0L, 10L,                                                          \
  "MIB8", "dnik", 0L, 4L, "FIB8",                                      \
  "MIB8", "srev", 0L, 4L, 0x00010000L,                                 \
  "MIB8", "eman", 0L, 20L, "\022ICO (Windows Icon)\0",                 \
  "MIB8", ENTRY_KEY, 0L, 12L, "PluginMain\0\0",                        \
  "MIB8", "edom", 0L, 4L, 0x000000F0L,                                 \
  "MIB8", "xEdR", 0L, 4L, "ICO ",                                      \
  "MIB8", "xErW", 0L, 4L, "ICO ",                                      \
  "MIB8", "ftmf", 0L, 4L, 0x00000034L,                                 \
  "MIB8", "zsxm", 0L, 4L, 256, 256,                                    \
  "MIB8", "hcxm", 0L, 32L, 2, 2, 2, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, \
  0, 0L

#endif
