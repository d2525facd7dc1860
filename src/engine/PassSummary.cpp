#include "PassSummary.h"

#include "Texts.h"

namespace torvanelo {

namespace {

QString counted(qint32 count, int language, QStringView frenchOne, QStringView frenchMany,
                QStringView englishOne, QStringView englishMany) {
    const bool many = count >= 2;
    return QString::number(count)
           + Tr(language, many ? frenchMany : frenchOne, many ? englishMany : englishOne);
}

} // namespace

PassSummaryLines PassSummary(const PassCounts& counts, int language, const QDateTime& end,
                             qint64 durationMilliseconds, const QLocale& locale) {
    QString line1 = locale.toString(end.date(), QLocale::LongFormat) + Tr(language, u" à ", u" - ")
                    + end.time().toString(u"HH:mm:ss") + QStringLiteral("; ");
    line1 += counted(counts.FilesHandled, language, u" fichier dans ", u" fichiers dans ",
                     u" file in ", u" files in ");
    line1 += counted(counts.SourceFolders, language, u" dossier source (", u" dossiers sources (",
                     u" source folder (", u" source folders (");
    line1 += counted(counts.InvalidSources, language, u" dossier source invalide; ",
                     u" dossiers sources invalides; ", u" invalid source folder; ",
                     u" invalid source folders; ");
    line1 += counted(counts.InvalidTargets, language, u" dossier cible invalide)",
                     u" dossiers cibles invalides)", u" invalid target folder)",
                     u" invalid target folders)");

    QLocale numbers = locale;
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString duration = numbers.toString(double(durationMilliseconds) / 1000.0, 'f', 2);
    const QString compressed = QString::number(counts.FilesCompressed);
    const QString uncompressed = QString::number(counts.FilesUncompressed);
    const QString line2 = isFrench(language)
                              ? QStringLiteral("Fichiers compressés: ") + compressed
                                    + QStringLiteral(", Fichiers décompressés: ") + uncompressed
                                    + QStringLiteral("; durée ") + duration + QStringLiteral(" s")
                              : QStringLiteral("Compressed files: ") + compressed
                                    + QStringLiteral(", Uncompressed files: ") + uncompressed
                                    + QStringLiteral("; elapsed time ") + duration
                                    + QStringLiteral(" s");
    return {line1, line2};
}

} // namespace torvanelo
