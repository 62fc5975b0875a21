// The frame-rate meter: counts frame steps and prints the rate about once a second.
#pragma once

void UpdateFps();
