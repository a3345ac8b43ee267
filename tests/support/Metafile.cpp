#include "Metafile.h"

#include <initializer_list>
#include <QtEndian>

namespace quillory::test {

QByteArray smallMetafile() {
    QByteArray records;
    auto word = [](QByteArray& out, quint16 value) {
        out.append(char(value & 0xff));
        out.append(char(value >> 8));
    };
    auto dword = [&word](QByteArray& out, quint32 value) {
        word(out, quint16(value & 0xffff));
        word(out, quint16(value >> 16));
    };
    auto record = [&](quint16 function, std::initializer_list<quint16> params) {
        dword(records, quint32(3 + params.size()));
        word(records, function);
        for (quint16 p : params)
            word(records, p);
    };
    record(0x020B, {0, 0});      // window origin
    record(0x020C, {960, 1440}); // window extent: height, width
    dword(records, 7);           // solid red brush
    word(records, 0x02FC);
    word(records, 0);
    dword(records, 0x002828C8);
    word(records, 0);
    record(0x012D, {0});                   // select it
    record(0x041B, {900, 1300, 100, 100}); // rectangle: bottom, right, top, left
    record(0x0000, {});                    // end

    QByteArray header;
    word(header, 1);
    word(header, 9);
    word(header, 0x0300);
    dword(header, quint32(9 + records.size() / 2));
    word(header, 1);
    dword(header, 7);
    word(header, 0);

    QByteArray placeable;
    dword(placeable, 0x9AC6CDD7);
    for (quint16 w : {0, 0, 0, 1440, 960, 1440})
        word(placeable, w);
    dword(placeable, 0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= qFromLittleEndian<quint16>(placeable.constData() + i);
    word(placeable, checksum);
    return placeable + header + records;
}

} // namespace quillory::test
