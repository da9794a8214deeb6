#include "Failure.h"
#include "Form1.h"
#include "SettingsStore.h"
#include "UserInterface.h"
#include "WordSession.h"

#include <QApplication>

namespace {
class NoWordProcessor : public WordProcessor
{
public:
    std::unique_ptr<WordSession> create() override { fail(QStringLiteral("No word processor yet.")); }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    DesktopUserInterface ui;
    SettingsStore settings;
    NoWordProcessor word;
    Form1 window(ui, settings, word);
    window.Form_Load();
    window.show();
    return application.exec();
}
