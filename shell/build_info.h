// When this program was built: "dd/mm/yyyy" and "hh:mm:ss".
#pragma once

const char* BuildDate();
const char* BuildTime();
