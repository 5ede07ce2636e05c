#include "AsNobody.h"

std::string asNobody(const std::function<std::string()>& /*check*/)
{
    return "no user \"nobody\" to switch to on Windows";
}

bool ranAgainAsNobody()
{
    return false;
}
