#include "aboutdialog.h"
#include "englishtexts.h"
#include "localizationhelper.h"
#include "modaldriver.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Designer::AboutDialog;

class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void showsNameVersionAndNotice();
    void versionFallsBackToTheBuild();
    void closeHidesAndKeepsTheDialog();
};

void TestAboutDialog::initTestCase()
{
    useEnglishTexts();
    QCoreApplication::setApplicationName("Veltane");
    QCoreApplication::setApplicationVersion("1.0.5.48");
}

void TestAboutDialog::showsNameVersionAndNotice()
{
    QWidget window;
    AboutDialog about(&window);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.windowTitle(), QString("About Veltane"));
    QCOMPARE(about.objectName(), QString("general"));
    QVERIFY(about.isModal());
    QVERIFY(about.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    auto* name = about.findChild<QLabel*>("aboutName");
    auto* version = about.findChild<QLabel*>("aboutVersion");
    auto* notice = about.findChild<QLabel*>("aboutNotice");
    auto* picture = about.findChild<QLabel*>("aboutPicture");
    QVERIFY(name && version && notice && picture);
    QCOMPARE(name->text(), QString("Veltane"));
    QCOMPARE(version->text(), QString("Product Version: 1.0.5.48"));
    QVERIFY(picture->pixmap().isNull());

    // The notice is one line of our own; its links are not followed.
    QVERIFY(!notice->text().isEmpty());
    QCOMPARE(notice->textFormat(), Qt::RichText);
    QVERIFY(!notice->wordWrap());
    QVERIFY(!notice->text().contains("<br", Qt::CaseInsensitive));
    QVERIFY(!notice->openExternalLinks());

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    // The product name stands out from the other lines.
    QVERIFY(name->fontInfo().bold());
    QCOMPARE(name->fontInfo().pixelSize(), 25);
    QVERIFY(version->geometry().top() - name->geometry().bottom() >= 20);
    QVERIFY(notice->geometry().top() - version->geometry().bottom() >= 30);
    about.hide();
}

void TestAboutDialog::versionFallsBackToTheBuild()
{
    QCoreApplication::setApplicationVersion(QString());
    AboutDialog about;
    QCOMPARE(about.findChild<QLabel*>("aboutVersion")->text(), QString("Product Version: %1").arg(DOVREL_VERSION));
    QCoreApplication::setApplicationVersion("1.0.5.48");
}

void TestAboutDialog::closeHidesAndKeepsTheDialog()
{
    QWidget window;
    QPointer<AboutDialog> about = new AboutDialog(&window);
    auto* close = about->findChild<QPushButton*>("aboutClose");
    QVERIFY(close);
    QCOMPARE(close->text(), QString("Close"));
    QVERIFY(close->isDefault());
    QVERIFY(!close->autoDefault());

    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(about && !about->isVisible());
    QCOMPARE(about->result(), int(QDialog::Accepted));

    // Shown again later, closed with the window's close button: hidden, not deleted.
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QVERIFY(about->close());
    QVERIFY(about && !about->isVisible());

    // Return answers the default button.
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QTest::keyClick(about, Qt::Key_Return);
    QVERIFY(!about->isVisible());
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
