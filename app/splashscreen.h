#ifndef SPLASHSCREEN_H
#define SPLASHSCREEN_H

#include <QFont>
#include <QSplashScreen>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The picture shown while the program starts, with a line of progress text.
class SplashScreen : public QSplashScreen
{
    Q_OBJECT
public:
    explicit SplashScreen(const QPixmap& pixmap = QPixmap());
    ~SplashScreen() override;

    QString text() const { return m_message; }

public slots:
    void setText(const QString& text);

protected:
    void drawContents(QPainter* painter) override;

private:
    QString m_message;
    QFont m_font;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // SPLASHSCREEN_H
