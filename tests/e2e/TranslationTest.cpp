// The embedded Japanese catalogue: the compiled file the program embeds, and
// the consistency of the source catalogue. A translation that loses a file
// pattern breaks the file dialog's filter, one that drops a technical token
// (I0, XAFS, [eV]) or a %1 placeholder shows the scientist the wrong thing,
// and a "translated" initial field value would be read back as a number.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QString catalogueSource() {
    return QStringLiteral(LS_SOURCE_DIR "/resources/Lumenstack_ja_JP.ts");
}

// The build compiles the catalogue next to the program before embedding it.
QString compiledCatalogue() {
    return QFileInfo(QStringLiteral(LS_PROGRAM)).dir().filePath("Lumenstack_ja_JP.qm");
}

QVector<Message> readCatalogue(const QString &path) {
    QVector<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            messages.append({context, xml.readElementText(), QString(), false});
        } else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            const bool unfinished = xml.attributes().value("type") == QLatin1String("unfinished");
            messages.last().translation = xml.readElementText();
            messages.last().finished = !unfinished;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QStringList matches(const QString &pattern, const QString &text) {
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    found.sort();
    return found;
}

} // namespace

TEST(Translation, CompiledCatalogueTranslatesTheUserInterfaceButNotFieldValues) {
    QTranslator translator;
    ASSERT_TRUE(translator.load(compiledCatalogue())) << compiledCatalogue().toStdString();
    EXPECT_EQ(translator.translate("BatchCtrl", "Exec."), QString::fromUtf8("実行"));
    EXPECT_EQ(translator.translate("Body", "Save Image"), QString::fromUtf8("画像保存"));
    EXPECT_EQ(translator.translate("XafsFileSelect", "Any Files (* *.*)"),
              QString::fromUtf8("すべてのファイル (* *.*)"));
    // Unfinished entries stay out of the compiled file, so Qt shows the source.
    EXPECT_TRUE(translator.translate("Body", "8979").isEmpty());
    EXPECT_TRUE(translator.translate("SpectrumView", "TextLabel").isEmpty());
}

TEST(Translation, FinishedTextsKeepPatternsTokensAndPlaceholders) {
    const QVector<Message> messages = readCatalogue(catalogueSource());
    ASSERT_GT(messages.size(), 100);
    const QStringList tokens = {"I0", "I1", "XAFS", "dE", "eV", "[ms]", "FFT", "'Live'"};
    // Initial field contents (numbers, the element "Cu") and read-out placeholders.
    const QRegularExpression dataLike(R"(^(-?[0-9.]+|\(.*\)|TextLabel|Cu)$)");
    for (const Message &m : messages) {
        const std::string where = (m.context + ": " + m.source).toStdString();
        if (dataLike.match(m.source).hasMatch()) {
            EXPECT_FALSE(m.finished) << "field value marked translated: " << where;
            continue;
        }
        EXPECT_TRUE(m.finished) << "untranslated label: " << where;
        if (!m.finished)
            continue;
        EXPECT_FALSE(m.translation.isEmpty()) << where;
        EXPECT_EQ(matches(R"(\([^()]*\*[^()]*\))", m.translation),
                  matches(R"(\([^()]*\*[^()]*\))", m.source))
            << "file pattern changed: " << where;
        EXPECT_EQ(matches(R"(%\d+)", m.translation), matches(R"(%\d+)", m.source)) << where;
        for (const QString &token : tokens)
            if (m.source.contains(token))
                EXPECT_TRUE(m.translation.contains(token))
                    << token.toStdString() << " lost: " << where;
    }
}
