#include "Console.h"

#include <io.h>
#include <stdio.h>

bool stderrIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}
