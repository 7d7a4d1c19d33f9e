#include "olefixture.h"
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>
#include <QtEndian>

namespace fixtures {

namespace {

void putU32(QByteArray& a, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    a.append(b, 4);
}

void putU16(QByteArray& a, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    a.append(b, 2);
}

void putWide(QByteArray& a, const QString& s)
{
    putU32(a, quint32(s.size()));
    for (QChar c : s)
        putU16(a, c.unicode());
}

QByteArray base64Lines(const QByteArray& bytes)
{
    const QByteArray b = bytes.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < b.size(); i += 76)
        out += b.mid(i, 76) + '\n';
    return out;
}

QByteArray fileItem(const char* host, const QByteArray& name, const QByteArray& bytes)
{
    return "<item name='$FILE' summary='true'><object><file hosttype='" + QByteArray(host) +
           "' compression='none' flags='storedindoc' name='" + name + "'>\n<filedata>\n" + base64Lines(bytes) +
           "</filedata></file></object></item>\n";
}

} // namespace

QByteArray classIdBytes(const char* text)
{
    const QByteArray hex = QByteArray(text).replace("{", "").replace("}", "").replace("-", "");
    const QByteArray raw = QByteArray::fromHex(hex);
    QByteArray out = raw;
    // Data1, Data2 and Data3 are stored little-endian.
    for (int i = 0; i < 4; ++i)
        out[i] = raw[3 - i];
    out[4] = raw[5];
    out[5] = raw[4];
    out[6] = raw[7];
    out[7] = raw[6];
    return out;
}

QByteArray compoundFile(const QByteArray& classId, const QList<QPair<QByteArray, QByteArray>>& streams,
                        const QByteArray& storage)
{
    gsf_init();
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    GsfOutfile* object = ole;
    if (!storage.isEmpty())
        object = GSF_OUTFILE(gsf_outfile_new_child(ole, storage.constData(), TRUE));
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(object), reinterpret_cast<const guint8*>(classId.constData()));
    for (const auto& [name, bytes] : streams) {
        GsfOutput* child = gsf_outfile_new_child(object, name.constData(), FALSE);
        gsf_output_write(child, size_t(bytes.size()), reinterpret_cast<const guint8*>(bytes.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    if (object != ole) {
        gsf_output_close(GSF_OUTPUT(object));
        g_object_unref(object);
    }
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
    const QByteArray out(reinterpret_cast<const char*>(data), qsizetype(gsf_output_size(sink)));
    g_object_unref(sink);  // closed with the compound file
    return out;
}

QByteArray rootStream(const QByteArray& compound, const QByteArray& name, QByteArray* classId)
{
    gsf_init();
    GsfInput* in = gsf_input_memory_new(reinterpret_cast<const guint8*>(compound.constData()),
                                        gsf_off_t(compound.size()), FALSE);
    GsfInfile* ole = gsf_infile_msole_new(in, nullptr);
    QByteArray out;
    if (ole) {
        guint8 id[16];
        if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole), id))
            *classId = QByteArray(reinterpret_cast<const char*>(id), 16);
        if (GsfInput* child = gsf_infile_child_by_name(ole, name.constData())) {
            const gsf_off_t n = gsf_input_size(child);
            out.resize(qsizetype(n));
            if (n > 0)
                gsf_input_read(child, size_t(n), reinterpret_cast<guint8*>(out.data()));
            else
                out = QByteArray("");
            g_object_unref(child);
        }
        g_object_unref(ole);
    }
    g_object_unref(in);
    return out;
}

QByteArray packageNative(const QByteArray& label, const QByteArray& sourcePath, const QByteArray& data,
                         const QString& unicodeLabel)
{
    QByteArray body;
    putU16(body, 2);
    body += label + '\0' + sourcePath + '\0';
    putU16(body, 0);
    putU16(body, 3);
    const QByteArray temp = "C:\\Temp\\" + label + '\0';
    putU32(body, quint32(temp.size()));
    body += temp;
    putU32(body, quint32(data.size()));
    body += data;
    if (!unicodeLabel.isEmpty()) {
        putWide(body, QStringLiteral("C:\\Temp\\") + unicodeLabel);
        putWide(body, unicodeLabel);
        putWide(body, QStringLiteral("C:\\Users\\a\\") + unicodeLabel);
    }
    QByteArray out;
    putU32(out, quint32(body.size()));
    return out + body;
}

QByteArray objectItems(const QString& name, const QByteArray& compound, int pageSize, int firstPage)
{
    QByteArray items;
    QByteArray directory;
    const int pages = int((compound.size() + pageSize - 1) / pageSize);
    putU32(directory, 1);
    putU32(directory, quint32(pages));
    putU32(directory, quint32(pageSize));
    directory += QByteArray(20, '\0');
    for (int i = 0; i < pages; ++i) {
        const QByteArray page = "STG" + QByteArray::number(firstPage + i).rightJustified(5, '0');
        QByteArray bytes = compound.mid(qsizetype(i) * pageSize, pageSize);
        bytes += QByteArray(pageSize - bytes.size(), '\0');
        items += fileItem("bytearraypage", page, bytes);
        directory += page + QByteArray(2, '\0');
    }
    return items + fileItem("bytearrayext", name.toUtf8(), directory);
}

QByteArray objectRef(const QString& name, const char* classId)
{
    return "<par><objectref version='2' name='" + name.toUtf8() + "' class='x' classid='" + QByteArray(classId) +
           "' storageformat='structstorage'><run><font name='monospace'/></run></objectref></par>";
}

} // namespace fixtures
