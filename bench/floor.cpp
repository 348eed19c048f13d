// The floor for the start-up benchmark: the least a Qt Widgets program can do to show a window of
// the same size with a big label in it, built by the same toolchain. Says "first-paint" on
// standard output when its window, label included, is first painted.
//
// With PODIUMWATCH_FLOOR_JAPANESE set it also shows one line of Japanese in the gothic face, the
// least a program with a Japanese interface pays: a second face, a larger font file and its glyphs.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

namespace {

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent *event) override
    {
        QWidget::paintEvent(event);
        if (!painted_) {
            painted_ = true;
            // As in the program: reported once the label, painted after this, is on the screen.
            QTimer::singleShot(0, [] {
                std::fputs("first-paint\n", stdout);
                std::fflush(stdout);
            });
        }
    }

private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window window;
    window.resize(967, 701);
    auto *label = new QLabel(QStringLiteral("--:--"), &window);
    label->setGeometry(8, 0, 953, 313);
    QFont font = label->font();
    font.setPointSize(240);
    label->setFont(font);
    if (qEnvironmentVariableIsSet("PODIUMWATCH_FLOOR_JAPANESE")) {
        auto *caption = new QLabel(QStringLiteral("総計測時間　警告表示　開始　停止"), &window);
        caption->setGeometry(8, 320, 953, 40);
        QFont gothic(QStringLiteral("IPAGothic"));
        gothic.setPointSize(12);
        caption->setFont(gothic);
    }
    window.show();
    return QApplication::exec();
}
