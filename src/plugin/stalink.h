/*
 * stalink.h - the station-driver library the ZQ0093 plug-in talks through.
 *
 * Each function runs one request/reply exchange with the weather station and
 * hands back the station's reply frame: byte 0 its length L (at most 128),
 * byte 1 the command code, the data from byte 2, and the checksum in byte
 * L - 1. Buffers are the caller's and 128 bytes long. Every function returns
 * 0 for success and one of the STALINK_ codes below for failure; on failure
 * the buffer is left as it was.
 *
 * Which station. The environment variable NIMBARY_STALINK, read at the first
 * call, holds station options as the Nimbary programs take them, separated
 * by spaces: "--simulate" and the "--sim-..." options for the simulated
 * station, "--replay FILE" to answer from a capture file, "--capture FILE"
 * to append every report to FILE. Unset or empty: the real station over USB.
 * Only one process talks to the real station at a time: while the library
 * has the station open, and only then, it holds the same station lock as
 * the Nimbary program and nimbary-cli (the station's own device node), and
 * while another process holds it every call fails with STALINK_BUSY.
 *
 * The functions may be called from any thread; exchanges never interleave.
 */
#ifndef STALINK_H
#define STALINK_H

#ifdef __cplusplus
extern "C" {
#endif

#define STALINK_OK 0
#define STALINK_NO_STATION 1   /* no station found, or it could not be opened */
#define STALINK_FAILED 2       /* no valid reply, or a reply refusing the request */
#define STALINK_BUSY 3         /* another process holds the station lock */
#define STALINK_BAD_ARGUMENT 4 /* null buffer, or a length, type or index out of range */
#define STALINK_UNUSABLE 5     /* bad NIMBARY_STALINK options, or the HID library failed */

/* The current reading (command 0x04). */
int UsbReadRecord(unsigned char* buffer);
/* The recorded maxima and minima (0x05). */
int UsbReadMaxMin(unsigned char* buffer);
/* The alarm thresholds (0x06); `length` is the request's length, 3. */
int UsbReadAlarm(unsigned char* buffer, unsigned char length);
/* Writes the alarm thresholds (0x86): bytes 2-34 of `buffer` hold the 33 data
 * bytes, `length` is the frame's length, 36. Length, code and checksum are
 * filled in here. */
int UsbWriteAlarm(unsigned char* buffer, unsigned char length);
/* The settings (0x08): capability byte in byte 2, the 22-byte settings block
 * in bytes 4-25; `length` is the request's length, 3. */
int UsbReadParam(unsigned char* buffer, unsigned char length);
/* Writes the settings (0x88): bytes 2-23 hold the settings block, `length`
 * is the frame's length, 25. Fails unless the station accepts them. */
int UsbWriteParam(unsigned char* buffer, unsigned char length);
/* One 72-hour series (0x09): type 1-6 or 8, index the channel (0-7) for
 * types 3 and 4, 0 or 1 (wind, gust) for type 6, else 0. Data from byte 4. */
int UsbReadGraph(unsigned char* buffer, unsigned char type, unsigned char index);
/* Resets the station's maxima and minima (0x87 with 1). */
int UsbClearMaxMin(void);

#ifdef __cplusplus
}
#endif

#endif /* STALINK_H */
