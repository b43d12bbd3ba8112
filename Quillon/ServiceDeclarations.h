// The services Quillon's classes are given, declared for their headers: the shared library's
// and Quillon's own.
#pragma once

#include "Common/Application/ServiceDeclarations.h"

class IConfiguration;
class IUserInputValidator;
