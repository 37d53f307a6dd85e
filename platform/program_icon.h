// The program's icon, drawn from the PNGs embedded at build time (resources/icons/).
#pragma once

#include <QIcon>

QIcon ProgramIcon();
