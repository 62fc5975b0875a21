#include "fps.h"

#include <windows.h>

#include <mmsystem.h>
#include <stdio.h>

static DWORD fpsFrames = 0;
static char fpsText[256];

void UpdateFps() {
    static DWORD lastReport = timeGetTime();
    DWORD now = timeGetTime();
    DWORD frames = ++fpsFrames;
    // Unsigned difference: the wrap of the tick does no harm.
    DWORD elapsed = now - lastReport;
    if (elapsed < 1000)
        return;
    lastReport = now;
    fpsFrames = 0;
    float fps = (float)frames / ((float)elapsed / 1000.0f);
    sprintf(fpsText, "%.02f fps            ", (double)fps);
    printf("%s\n", fpsText);
}
