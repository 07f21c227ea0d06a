// Stands for a file of the domain code (scanner, tools, front ends) that includes the Wine
// platform: it must not build.
#include "platform/wine/WinePrefix.h"

int wineIncludeProbe()
{
    return 0;
}
