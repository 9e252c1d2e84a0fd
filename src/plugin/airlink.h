/*
 * airlink.h - packed decimal conversions for the station's alarm time.
 */
#ifndef AIRLINK_H
#define AIRLINK_H

#ifdef __cplusplus
extern "C" {
#endif

/* The packed decimal byte of `value` (0-99): tens in the high nibble, units
 * in the low one. Values above 99 give the byte of value mod 100. */
unsigned char Hex2Bcd(unsigned char value);
/* The number (0-99) of a packed decimal byte. A nibble above 9 counts as its
 * value, as the station would read it. */
unsigned char Bcd2Hex(unsigned char bcd);

#ifdef __cplusplus
}
#endif

#endif /* AIRLINK_H */
