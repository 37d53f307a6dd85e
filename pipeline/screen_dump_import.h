// The "Import Screen Dump" command: a dump decoded in the current mode becomes the
// working picture.
#pragma once

void ImportScreenDump();
