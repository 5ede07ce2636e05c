#pragma once
// Name rules of the home platform's file system, shared by every platform.

#include <string>

// Order in which an NTFS folder lists its entries: names compared byte by
// byte after ASCII upper-casing ("A2.bmp" < "b.bmp", "x_D.BMP" < "x__c.bmp",
// "0010" < "009"). Names equal once upper-cased are ordered by their exact
// bytes, so this is a strict weak order that only ties identical names.
bool ntfsNameLess(const std::string& a, const std::string& b);

// True when `name` ends in `ending`, upper and lower case alike (ASCII).
// An empty ending matches every name; "imagebmp" ends in "bmp".
bool nameEndsWith(const std::string& name, const std::string& ending);
