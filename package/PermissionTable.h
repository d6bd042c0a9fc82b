// The descriptions shown for the permissions a package asks for. The texts
// are narrow literals, so the compiler stores them in the program's code page.
#pragma once
#include <map>
#include <string>

// Empties the table, then puts in every row: permission name -> description.
void FillPermissionTable(std::map<std::string, std::string>& mapPermissions);
