// Small media files made by the tests themselves: silent MPEG audio of a
// known length and an MP4 audio file whose header gives its duration. TagLib
// reads both as a player would; neither needs an encoder installed.
#pragma once

#include <QByteArray>
#include <QtEndian>

namespace testmedia {

// 128 kbit/s, 44.1 kHz MPEG-1 layer III frames of silence; 38.3 frames a second.
inline QByteArray SilentMp3(int frames) {
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x64);
    return frame.repeated(frames);
}

namespace detail {

inline QByteArray Be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

inline QByteArray Be16(quint16 v) {
    QByteArray b(2, '\0');
    qToBigEndian(v, b.data());
    return b;
}

inline QByteArray Atom(const char* type, const QByteArray& body) {
    return Be32(quint32(8 + body.size())) + QByteArray(type, 4) + body;
}

inline QByteArray FullAtom(const char* type, quint32 versionFlags, const QByteArray& body) {
    return Atom(type, Be32(versionFlags) + body);
}

inline QByteArray Matrix() {
    return Be32(0x10000) + Be32(0) + Be32(0) + Be32(0) + Be32(0x10000) + Be32(0) + Be32(0) +
           Be32(0) + Be32(0x40000000);
}

} // namespace detail

// An MP4 audio file (ftyp, moov with one sound track, an empty mdat) whose
// track header says it lasts the given seconds.
inline QByteArray SilentM4a(int seconds) {
    using namespace detail;
    const quint32 rate = 44100;
    const QByteArray ftyp = Atom("ftyp", QByteArray("M4A ") + Be32(0) + "M4A mp42isom");
    const QByteArray mvhd = FullAtom(
        "mvhd", 0,
        Be32(0) + Be32(0) + Be32(1000) + Be32(quint32(seconds) * 1000) + Be32(0x10000) +
            Be16(0x100) + QByteArray(10, '\0') + Matrix() + QByteArray(24, '\0') + Be32(2));
    const QByteArray tkhd =
        FullAtom("tkhd", 7,
                 Be32(0) + Be32(0) + Be32(1) + Be32(0) + Be32(quint32(seconds) * 1000) +
                     QByteArray(8, '\0') + Be16(0) + Be16(0) + Be16(0x100) + Be16(0) + Matrix() +
                     Be32(0) + Be32(0));
    const QByteArray mdhd = FullAtom("mdhd", 0,
                                     Be32(0) + Be32(0) + Be32(rate) +
                                         Be32(quint32(seconds) * rate) + Be16(0x55c4) + Be16(0));
    const QByteArray hdlr =
        FullAtom("hdlr", 0, Be32(0) + "soun" + QByteArray(12, '\0') + QByteArray("Sound", 6));
    const QByteArray mp4a =
        Atom("mp4a", QByteArray(6, '\0') + Be16(1) + QByteArray(8, '\0') + Be16(2) + Be16(16) +
                         Be16(0) + Be16(0) + Be32(rate << 16));
    const QByteArray stbl =
        Atom("stbl", FullAtom("stsd", 0, Be32(1) + mp4a) + FullAtom("stts", 0, Be32(0)) +
                         FullAtom("stsc", 0, Be32(0)) + FullAtom("stsz", 0, Be32(0) + Be32(0)) +
                         FullAtom("stco", 0, Be32(0)));
    const QByteArray dinf =
        Atom("dinf", FullAtom("dref", 0, Be32(1) + FullAtom("url ", 1, QByteArray())));
    const QByteArray minf = Atom("minf", FullAtom("smhd", 0, Be16(0) + Be16(0)) + dinf + stbl);
    const QByteArray trak = Atom("trak", tkhd + Atom("mdia", mdhd + hdlr + minf));
    return ftyp + Atom("moov", mvhd + trak) + Atom("mdat", QByteArray(2000, '\0'));
}

} // namespace testmedia
