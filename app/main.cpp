#include "OstrelApp.h"

int main(int argc, char** argv)
{
    COstrelApp application(argc, argv);
    application.InitInstance();
    return 0;
}
