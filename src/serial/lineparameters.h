#pragma once

#include <string>

#include <termios.h>

#include <QString>

namespace velkar {

class CSerialSettings;

// What the stored serial texts mean for the line.
struct LineParameters {
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N';          // 'N', 'O' or 'E'
    bool twoStopBits = false;   // "1.5" and "2": Linux has no 1.5; a UART sends 1.5 for 5-bit data
    bool hardwareFlow = true;   // RTS/CTS: the cutter paces the line

    // Reads the texts as the port has always read them: numbers as atoi reads
    // them; parity other than "O" and "E" is none; stop bits other than "1.5"
    // and "2" are one. False, with the reason in `error`, for a speed below 1
    // or data bits outside 5..8.
    bool FromSettings(const CSerialSettings& settings, QString& error);

    // Puts the parameters into `t`: raw bytes (no output processing, no echo,
    // no signals), receiver on, modem lines ignored for open, the character
    // size, parity, stop bits and RTS/CTS. Returns false when the speed is not
    // one of the system's standard rates: `t` then carries 38400 and the port
    // must set the exact rate separately (SetCustomRate).
    bool ApplyTo(termios& t) const;

    // The standard rate constant for baud, or B0 when there is none.
    static speed_t StandardSpeed(int baud);
};

// Sets a rate that has no standard constant (such as 14400) through the
// kernel's arbitrary-rate interface. Returns 0 or the errno.
int SetCustomRate(int fd, int baud);
// The output rate the kernel holds for fd, or -1 with errno set.
int CurrentRate(int fd);

// atoi's reading of a text (leading blanks, sign, digits), clamped to int.
int TextToInt(const QString& text);

}  // namespace velkar
