#include "helpers/xmlhelper.h"

#include <QtTest>

#include <QDomDocument>
#include <QTemporaryDir>

using Orvane::Tavrix::Common::XmlHelper;

class TestXmlHelper : public QObject
{
    Q_OBJECT

private slots:
    void propertyScan();
    void firstPropertyWins();
    void missingName();
    void rootType_data();
    void rootType();
    void dataAndFileVariants();
    void childElement();
};

void TestXmlHelper::propertyScan()
{
    const QString content = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<Project>\r"
        "  <Property name=\"width\" value=\"800\"/>\n"
        "\t<Property value=\"480\" name=\"height\"/>\n"
        "  <Property name=\"title\" value=\"Say &quot;hi&quot;\"/>\n"
        "  <Property filename=\"x.qml\" value=\"no\"/>\n"
        "  <Property name=\"open\" value=\"x\">\n"
        "  <Property name=\"nameOnly\"/>\n"
        "  <Other name=\"width\" value=\"1\"/>\n"
        "  <Property name=\"empty\" value=\"\"/>\n"
        "</Project>\n");
    const QMap<QString, QString> values = XmlHelper::getValuesFromContent(
        content, { "width", "height", "title", "open", "nameOnly", "empty", "x.qml", "absent" });
    QCOMPARE(values.value(QStringLiteral("width")), QStringLiteral("800"));
    QCOMPARE(values.value(QStringLiteral("height")), QStringLiteral("480")); // value before name
    QCOMPARE(values.value(QStringLiteral("title")), QStringLiteral("Say &quot;hi&quot;")); // entity kept
    QVERIFY(values.contains(QStringLiteral("empty")));
    QVERIFY(values.value(QStringLiteral("empty")).isEmpty());
    QVERIFY(!values.contains(QStringLiteral("open"))); // not a closed element line
    QVERIFY(!values.contains(QStringLiteral("nameOnly")));
    QVERIFY(!values.contains(QStringLiteral("x.qml"))); // "filename" is not "name"
    QVERIFY(!values.contains(QStringLiteral("absent")));
    QCOMPARE(values.size(), 4);
    QVERIFY(XmlHelper::getValuesFromContent(content, QStringList()).isEmpty());
}

void TestXmlHelper::firstPropertyWins()
{
    const QString content = QStringLiteral("<Property name=\"a\" value=\"first\"/>\n"
                                           "<Property name=\"b\" value=\"b1\"/>\n"
                                           "<Property name=\"a\" value=\"second\"/>\n");
    QCOMPARE(XmlHelper::getValuesFromContent(content, { "a" }).value(QStringLiteral("a")), QStringLiteral("first"));
    QCOMPARE(XmlHelper::getValuesFromContent(content, { "a", "b", "a" }).value(QStringLiteral("a")),
             QStringLiteral("first"));
    bool ok = false;
    QCOMPARE(XmlHelper::getValueFromContent(content, QStringLiteral("a"), &ok), QStringLiteral("first"));
    QVERIFY(ok);
}

void TestXmlHelper::missingName()
{
    bool ok = true;
    QVERIFY(XmlHelper::getValueFromContent(QStringLiteral("<Property name=\"a\" value=\"1\"/>"), QStringLiteral("b"), &ok)
                .isEmpty());
    QVERIFY(!ok);
    ok = true;
    QVERIFY(XmlHelper::getValueFromContent(QString(), QStringLiteral("b"), &ok).isEmpty());
    QVERIFY(!ok);
}

void TestXmlHelper::rootType_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("root");
    QTest::newRow("plain") << "<?xml version=\"1.0\"?>\n<Screen>\n<Property name=\"a\" value=\"b\"/>\n</Screen>"
                           << "Screen";
    QTest::newRow("crlf") << "<?xml version=\"1.0\"?>\r\n  <Config>  \r\n</Config>" << "Config";
    QTest::newRow("attributes skipped")
        << "<Project xmlns=\"urn:x\">\n<Property name=\"a\" value=\"b\"/>\n<Pages>\n</Pages>\n</Project>" << "Pages";
    QTest::newRow("attributes only") << "<Project xmlns=\"urn:x\">\n<Property name=\"a\" value=\"b\"/>\n</Project>"
                                     << "";
    QTest::newRow("comment skipped") << "<!--note-->\n<Root>\n</Root>" << "Root";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("one line") << "<Root><A/></Root>" << "";
}

void TestXmlHelper::rootType()
{
    QFETCH(QString, content);
    QFETCH(QString, root);
    QCOMPARE(XmlHelper::getRootTypeFromContent(content), root);
    QCOMPARE(XmlHelper::getRootTypeFromData(content.toUtf8()), root);
}

void TestXmlHelper::dataAndFileVariants()
{
    const QString content = QStringLiteral("<Device>\n<Property name=\"label\" value=\"Grüße\"/>\n</Device>\n");
    QCOMPARE(XmlHelper::getValueFromData(content.toUtf8(), QStringLiteral("label")), QStringLiteral("Grüße"));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("device.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.toUtf8());
    file.close();
    bool ok = false;
    QCOMPARE(XmlHelper::getValueFromFile(path, QStringLiteral("label"), &ok), QStringLiteral("Grüße"));
    QVERIFY(ok);
    QCOMPARE(XmlHelper::getValuesFromFile(path, { "label" }).size(), 1);
    QCOMPARE(XmlHelper::getRootTypeFromFile(path), QStringLiteral("Device"));

    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    ok = true;
    QVERIFY(XmlHelper::getValueFromFile(missing, QStringLiteral("label"), &ok).isEmpty());
    QVERIFY(!ok);
    QVERIFY(XmlHelper::getValuesFromFile(missing, { "label" }).isEmpty());
    QVERIFY(XmlHelper::getRootTypeFromFile(missing).isEmpty());
}

void TestXmlHelper::childElement()
{
    QDomDocument document;
    QVERIFY(document.setContent(QStringLiteral("<update><info/><file name=\"a\"/><file name=\"b\"/></update>")));
    const QDomElement root = document.documentElement();
    const QDomElement file = XmlHelper::getChildElement(root, QStringLiteral("file"));
    QVERIFY(!file.isNull());
    QCOMPARE(file.attribute(QStringLiteral("name")), QStringLiteral("a"));
    QVERIFY(XmlHelper::getChildElement(root, QStringLiteral("none")).isNull());
    QVERIFY(XmlHelper::getChildElement(QDomElement(), QStringLiteral("file")).isNull());
}

QTEST_GUILESS_MAIN(TestXmlHelper)
#include "tst_xmlhelper.moc"
