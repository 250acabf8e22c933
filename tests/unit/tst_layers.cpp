// Includes in src/ follow the layer order declared in the README's layout
// table: a folder may include its own headers and those of lower layers only.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QtTest>

namespace {

using Layers = QMap<QString, int>; // folder under src/ -> layer, 1 the lowest

// The rows "| 3 | `src/ui` | ... |" of the README's layout table.
Layers declaredLayers(const QString &readme)
{
    static const QRegularExpression row(QStringLiteral("^\\|\\s*(\\d+)\\s*\\|\\s*`src/([a-z]+)/?`\\s*\\|"),
                                        QRegularExpression::MultilineOption);
    Layers layers;
    for (auto it = row.globalMatch(readme); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        layers.insert(match.captured(2), match.captured(1).toInt());
    }
    return layers;
}

// What is wrong with one file's includes: "file: includes x/y.h" lines.
// `file` is relative to src/; includes that do not start with a folder of
// src/ (Qt, the native headers) are not ours to check.
QStringList violations(const Layers &layers, const QString &file, const QString &text, const QStringList &folders)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"(([^\"/]+)/[^\"]*)\""),
                                            QRegularExpression::MultilineOption);
    const int slash = file.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {}; // the entry point above everything
    const QString own = file.left(slash);
    QStringList found;
    for (auto it = include.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString target = match.captured(2);
        if (target == own || !folders.contains(target))
            continue;
        if (!layers.contains(target) || !layers.contains(own) || layers.value(target) >= layers.value(own))
            found << QStringLiteral("%1: includes %2").arg(file, match.captured(1));
    }
    return found;
}

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

    QDir m_src{QStringLiteral(SNAPLARK_SOURCE_DIR "/src")};
    Layers m_layers;

private slots:
    void initTestCase()
    {
        QFile readme(QStringLiteral(SNAPLARK_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        m_layers = declaredLayers(QString::fromUtf8(readme.readAll()));
        QVERIFY(m_layers.size() >= 8);
    }

    // The checker itself, on planted files: a guard that finds nothing would
    // pass whatever the tree does.
    void plantedIncludes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("down, own folder, outside src") << "capture/a.cpp"
                                                       << "#include \"core/b.h\"\n#include \"capture/c.h\"\n"
                                                          "#include <QtCore/QString>\n#include \"snaplarkextension.h\"\n"
                                                       << 0;
        QTest::newRow("up") << "ui/a.cpp" << "  #  include \"capture/wndmain.h\"\n" << 1;
        QTest::newRow("sideways") << "editor/a.h" << "#include \"capture/wndmain.h\"\n" << 1;
        QTest::newRow("a folder with no layer") << "newfeature/a.cpp" << "#include \"core/b.h\"\n" << 1;
        QTest::newRow("commented out") << "ui/a.cpp" << "// #include \"app/startup.h\"\n" << 0;
    }
    void plantedIncludes()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(int, count);
        const QStringList folders{"app", "capture", "core", "editor", "newfeature", "ui"};
        QCOMPARE(violations(m_layers, file, text, folders).size(), count);
    }

    // Every folder has a layer, every layer a folder, and every include runs down.
    void sourceTreeFollowsTheOrder()
    {
        const QStringList folders = m_src.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QStringList problems;
        for (const QString &folder : folders)
            if (!m_layers.contains(folder))
                problems << QStringLiteral("src/%1 has no layer in the README's layout table").arg(folder);
        for (const QString &folder : m_layers.keys())
            if (!folders.contains(folder))
                problems << QStringLiteral("src/%1 is in the layout table but does not exist").arg(folder);

        int files = 0;
        QDirIterator it(m_src.path(), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            problems << violations(m_layers, m_src.relativeFilePath(file.fileName()), QString::fromUtf8(file.readAll()),
                                   folders);
            ++files;
        }
        QVERIFY(files > 50);
        QVERIFY2(problems.isEmpty(), qPrintable(QLatin1Char('\n') + problems.join(QLatin1Char('\n'))));
    }
};

QTEST_APPLESS_MAIN(TestLayers)
#include "tst_layers.moc"
