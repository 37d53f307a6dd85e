// The zoomed and full-screen previews of the converted picture.
#pragma once

void ZoomedPreview(int picture);
void FullScreenPreview(int picture);
