// The port file's first-line reader on arbitrary file contents: the line is
// a bounded prefix of the content without line ends, a line that names a
// port gives back that port, and reading the same bytes from a real file
// gives the same line.

#include "fuzzsupport.h"

#include "portfile.h"

#include <QFile>
#include <QTemporaryDir>

using namespace blinds;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QByteArray line = firstLine(content);

    FUZZ_CHECK(line.size() <= PortFileLineLimit);
    FUZZ_CHECK(content.startsWith(line));
    FUZZ_CHECK(!line.contains('\n') && !line.contains('\0') && !line.contains('\x1a'));
    if (!line.endsWith('\r'))
        FUZZ_CHECK(firstLine(line) == line);

    if (isPortNumberLine(line)) {
        const quint8 port = toByte(textToNumber(line));
        FUZZ_CHECK(port >= 1 && QByteArray::number(port) == QByteArray::number(line.toInt()));
    }

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("端口列表.TXT"));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(content) == content.size());
    file.close();
    const auto fromFile = readPortFile(path);
    FUZZ_CHECK(fromFile.has_value());
    FUZZ_CHECK(*fromFile == line);
    return 0;
}
