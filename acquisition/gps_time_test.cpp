// GPS time-stamp test: registers, texts, the jump rule and the lines of one block.
#include "acquisition/gps_time_test.h"

#include <QDir>
#include <QStandardPaths>
#include <QTextCodec>

namespace k740 {

namespace {

QByteArray gbk(const QString& text) {
    static QTextCodec* const codec = QTextCodec::codecForName("GBK");
    return codec ? codec->fromUnicode(text) : text.toUtf8();
}

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

const char* const kGpsLabel = "\t\t\tGPS\u65f6\u95f4 :";                     // GPS时间
const char* const kJumpLabel = "GPS\u65f6\u95f4\u53d1\u751f\u8df3\u53d8 :";  // GPS时间发生跳变
const char* const kDashes42 = "------------------------------------------";
const char* const kDashes14 = "--------------";

}  // namespace

void GpsTimeRegisters::update(const std::uint8_t* block, int protocol) {
    previous = current;
    const std::uint8_t* date = block + (protocol == 1 ? kGpsDateRecordOffset : kGpsTwoPointOffset);
    const std::uint8_t* time =
        block + (protocol == 1 ? kGpsTimeRecordOffset : kGpsTwoPointOffset + 3);
    current.year = date[0];
    current.month = date[1];
    current.day = date[2];
    current.hour = time[0];
    current.minute = time[1];
    current.second = time[2];
    if (blocksRead < 2) ++blocksRead;
}

QString gpsClockText(const GpsTime& t) {
    return QString::number(2000 + t.year) + QLatin1Char('/') + twoDigits(t.month) +
           QLatin1Char('/') + twoDigits(t.day) + QLatin1Char(' ') + twoDigits(t.hour) +
           QLatin1Char(':') + twoDigits(t.minute) + QLatin1Char(':') + twoDigits(t.second);
}

std::uint32_t gpsSeconds(const QString& clockText) {
    QDateTime t = QDateTime::fromString(clockText, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    if (!t.isValid()) return kInvalidGpsSeconds;
    t.setTimeSpec(Qt::LocalTime);
    return static_cast<std::uint32_t>(t.toSecsSinceEpoch());
}

bool isGpsJump(int currentSecond, int previousSecond) {
    const bool oneOn = currentSecond - previousSecond == 1;
    const bool same = currentSecond == previousSecond;
    const bool wrap = previousSecond == 59 && currentSecond == 0;
    return !(oneOn || same || wrap);
}

QString gpsLocalTimeText(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
}

GpsBlockStep gpsBlockStep(const GpsTimeRegisters& registers, const QString& localTime,
                          int blockIndex) {
    GpsBlockStep step;
    const QString g = gpsClockText(registers.current);
    step.stamp = QString::number(gpsSeconds(g));
    step.mainLines = gbk(localTime + QString::fromUtf8(kGpsLabel) + g + QStringLiteral("\t\t") +
                         step.stamp + QLatin1Char('\n'));
    step.jump = registers.hasPrevious() &&
                isGpsJump(registers.current.second, registers.previous.second);
    if (step.jump) {
        const QString p = gpsClockText(registers.previous);
        const QString arrow = QStringLiteral(" -> ");
        step.mainLines += gbk(QString::fromLatin1(kDashes14) + QLatin1Char(' ') +
                              QString::fromUtf8(kJumpLabel) + QLatin1Char(' ') + p + arrow + g +
                              QString::fromLatin1(kDashes14) + QLatin1Char('\n'));
        step.errorLine = gbk(localTime + QStringLiteral("\t\t\t") + QString::fromUtf8(kJumpLabel) +
                             p + arrow + g + QLatin1Char('\n'));
    }
    if (blockIndex == 11) step.mainLines += QByteArray(kDashes42) + '\n';
    return step;
}

QByteArray gpsLogHeader() {
    return gbk(QStringLiteral("\t\t\u672c\u5730\u65f6\u95f4") +  // 本地时间
               QStringLiteral("\t\t\t\t\t\t GPS\u65f6\u95f4") + QLatin1Char('\n'));
}

GpsLogPaths gpsLogPaths(const QString& root, const QString& number, const QDateTime& start) {
    GpsLogPaths p;
    QString base = root;
    while (base.endsWith(QLatin1Char('/')) && base.size() > 1) base.chop(1);
    p.folder = base + QLatin1Char('/') + start.toString(QStringLiteral("yyyy-MM-dd"));
    const QString stamp = start.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    p.mainLog = p.folder + QStringLiteral("/K740-P_") + number + QLatin1Char('_') + stamp +
                QStringLiteral(".txt");
    p.errorLog = p.folder + QStringLiteral("/K740-P_") + number + QStringLiteral("_Error_") +
                 stamp + QStringLiteral(".txt");
    return p;
}

QString defaultGpsLogRoot() {
#ifdef Q_OS_WIN
    return QStringLiteral("D:/RV_K740-P_GPSTimeTest");
#else
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QDir::homePath();
    return docs + QStringLiteral("/RV_K740-P_GPSTimeTest");
#endif
}

}  // namespace k740
