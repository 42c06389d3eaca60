#include "app/Form1.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"

int main(int argc, char** argv) {
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    application.Initialize();
    application.SetTitle("Marevo");
    application.SetHelpFile("Marevop1.hlp");
    TSystemClock clock;
    TForm1 form(clock);
    Form1 = &form;
    form.show();
    application.Run();
    return 0;
}
