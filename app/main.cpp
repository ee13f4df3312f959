#include "app/Unit1.h"
// Linking the GIF unit makes the station's pictures take GIF files.
#include "gif/Zvqgif.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorvan"));
    TForm1 form;
    form.show();
    TApplication::exec();
    return 0;
}
