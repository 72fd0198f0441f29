/* libportlink: the serial-interface library that talks to a Brenlock card.
 *
 * A C ABI with one process-wide port. COM n (1 to 8) is the device that the
 * symbolic link `comN` names in $PORTLINK_DEVICE_DIR, else in
 * ${XDG_CONFIG_HOME:-~/.config}/portlink/; without such a link it is
 * /dev/ttyS{n-1}; OpenCommDevice opens any other serial device by its
 * path. Line settings: 9600 baud, 8N1, raw, no flow control.
 *
 * Every function may be called from any thread while the library's own
 * reader thread runs; none of them blocks for longer than it says below.
 * Results are 1 for yes and 0 for no.
 */
#ifndef PORTLINK_H
#define PORTLINK_H

#include <stdint.h>

#if defined(PORTLINK_BUILDING)
#define PORTLINK_API __attribute__((visibility("default")))
#else
#define PORTLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the background reader, which takes the card's output off the line
 * for the log and for ReadByteFromBoard, and notices a hang-up at once.
 * Idempotent. Returns 0 only when no thread could be started. */
PORTLINK_API int16_t Run(void);

/* Stops the background reader and waits for it to end (at once: it is woken).
 * The port stays open. Idempotent. */
PORTLINK_API int16_t Stop(void);

/* Closes a port that is already open (as CloseCommPort), then opens COM
 * `port` without blocking, without making it the controlling terminal, and
 * exclusively: a device that another process or another open holds fails.
 * The line is raw from the start. Judged on the opened device itself, before
 * it is locked, and let go again at once, are:
 * - a console of the kernel (/dev/console, a virtual console /dev/ttyN, one
 *   listed in /sys/class/tty/console/active), /dev/tty and /dev/ptmx;
 * - a built-in port (ttyS) with no UART behind it;
 * - a device that another process has open, as its /proc/<pid>/fd show it
 *   (processes of other users are seen only by root), even one that takes
 *   no lock: "COM1 (/dev/ttyUSB0) is in use by screen (PID 4242)". A
 *   process that lets go within 50 ms does not count.
 * Returns 0 on any failure (no such port, missing device, permission denied,
 * busy, refused as above) after one line on standard error naming the device
 * and the reason. */
PORTLINK_API int16_t OpenCommPort(int16_t port);

/* 9600 baud, 8 data bits, no parity, 1 stop bit, raw, no flow control,
 * modem lines ignored (CLOCAL); DTR and RTS are raised where the device has
 * them. Returns 0 when no port is open, it has failed, or the device refuses;
 * a refusal writes one line on standard error, which GetOpenError gives. */
PORTLINK_API int16_t ConfigureOpenComPort(void);

/* Lets the bytes already written go out (at most the time they need at the
 * line rate plus one second; what is left then is discarded), then closes.
 * Harmless when nothing is open. Returns nonzero. */
PORTLINK_API int16_t CloseCommPort(void);

/* Hands one byte to the device's output queue and returns; waits for room
 * in it no longer than `timeout_ms` (a negative value counts as 0), and not
 * at all once the line hangs up. Nonzero when the byte was accepted; 0 when
 * no port is open, the device failed or hung up, or there was no room. */
PORTLINK_API int16_t WriteToBoard(uint8_t byte, int32_t timeout_ms);

/* Nonzero while written bytes have not yet left the device (the kernel's
 * output queue, and on a UART its transmitter); 0 when all have gone, when
 * no port is open and once the device has failed or hung up. A
 * pseudo-terminal has no line: its bytes are gone as soon as they sit in the
 * other end's input, so it answers 0 right after each write. Never blocks. */
PORTLINK_API int16_t IsSendingData(void);

/* Closes the current log, then appends every byte the card sends to
 * `file_name` (created if missing, never truncated, relative to the current
 * folder), raw, each byte written to the file as soon as the reader has it.
 * A symbolic link on the way is followed only when the user or root made it;
 * another user's file is refused when it lies in a shared folder (group- or
 * world-writable, sticky) that is not that user's, or has a second hard
 * link. When the file cannot be opened, logging is off afterwards and one
 * line on standard error says why. Returns nonzero when logging is on.
 * Logging also stops, with a line on standard error, when the file cannot be
 * written (a write cut short counts as failed) or, deleted or moved away,
 * made again; GetLogError then says why. */
PORTLINK_API int16_t StartLogging(const char *file_name);

/* Closes the log file. Returns nonzero. */
PORTLINK_API int16_t StopLogging(void);

/* Exactly 1 while logging, 0 otherwise. */
PORTLINK_API int16_t IsLogging(void);

/* While logging, writes the log file name as it was given, NUL-terminated,
 * never more than `size` bytes. Nonzero when a name was written; 0, with the
 * buffer untouched, when not logging or when the whole name and its NUL do
 * not fit (a name cut short would name another file). */
PORTLINK_API int16_t GetLogFileName(char *buffer, int32_t size);

/* The next byte the card sent: 1 with *byte set, 0 when none came within
 * `timeout_ms` (negative counts as 0). The reader (Run) keeps the newest
 * 64 KiB that nobody has read, dropping the oldest; opening a port empties
 * it. */
PORTLINK_API int16_t ReadByteFromBoard(uint8_t *byte, int32_t timeout_ms);

/* Added beside the twelve above: what a caller needs to tell "gone" from
 * "open" and "sent" from "lost", why an open failed, and to reach a device
 * that no COM port names. */

/* Closes a port that is already open (as CloseCommPort), then opens the
 * serial device at `path` (a relative one from the current folder) as
 * OpenCommPort opens COM n's device: without blocking, not as the
 * controlling terminal, exclusively, raw from the start, and judged and let
 * go again as OpenCommPort says. A symbolic link in `path` is followed:
 * naming it was the caller's choice. Returns 0 on any failure (a NULL or
 * empty path, no such device, not a terminal, permission denied, busy,
 * refused) after one line on standard error naming the device and the
 * reason: "/dev/ttyUSB9 is in use by screen (PID 4242)", "/tmp/x is not a
 * terminal". ReopenCommPort then opens the same path again, as it says. */
PORTLINK_API int16_t OpenCommDevice(const char *path);

/* 1 while a port is open and its line is up; 0 when no port is open, and
 * once the line has hung up or the device has failed since it was opened
 * (an unplugged adapter, the card's end closed). Never blocks. */
PORTLINK_API int16_t IsLineUp(void);

/* Opens again the port that the last OpenCommPort, OpenCommDevice or
 * ReopenCommPort opened (closing one that is open first), for a caller that
 * waits for a card that went away; only when it is still the same device:
 * - a port opened through its link `comN` needs that link: it never falls
 *   back to the built-in port;
 * - a link made anew since (a restarted card, a new mapping) is opened when
 *   it and its folder are the user's or root's, the folder is not writable
 *   by every user, and the device it names is no newer than the link (a
 *   newer one took the name since);
 * - the same link is opened only while it leads to the same adapter, known
 *   by its name under /dev/serial/by-id, or without one by its USB socket;
 *   to a built-in port; never to a pseudo-terminal, whose name the next
 *   terminal window may have taken;
 * - a device opened by its path is looked for at that path alone, and
 *   opened as the same link is: while it leads to the same adapter or
 *   built-in port, never to a pseudo-terminal.
 * What was opened must be what the link names after the open; otherwise it
 * is closed again at once.
 * Returns 1 when it opened (then call ConfigureOpenComPort), 0 otherwise,
 * with the reason for GetOpenError. The first refusal after an open writes
 * one line on standard error, and the open that ends the wait one more. */
PORTLINK_API int16_t ReopenCommPort(void);

/* 1 when bytes that WriteToBoard had accepted were dropped because the line
 * hung up or the device failed before they were seen to leave; 0 otherwise.
 * It stays so, after CloseCommPort too, until the next OpenCommPort or
 * OpenCommDevice. Never blocks. */
PORTLINK_API int16_t HasLostData(void);

/* When the last OpenCommPort, OpenCommDevice, ReopenCommPort or
 * ConfigureOpenComPort failed, writes its reason, the text of the line
 * it wrote to standard error (without the "portlink: " in front), as much as
 * fits in `size` bytes and NUL-terminated, and returns 1; returns 0, with the
 * buffer untouched, when the last open succeeded or none was tried. */
PORTLINK_API int16_t GetOpenError(char *buffer, int32_t size);

/* When logging has stopped by itself, or the last StartLogging could not
 * open its file, writes the reason, e.g. "No space left on device" (the
 * file name is not part of it), as much as fits in `size` bytes, never cut
 * inside a UTF-8 character, NUL-terminated, and returns 1; returns 0, with
 * the buffer untouched, when logging has not failed since the last
 * StartLogging. */
PORTLINK_API int16_t GetLogError(char *buffer, int32_t size);

#ifdef __cplusplus
}
#endif

#endif /* PORTLINK_H */
