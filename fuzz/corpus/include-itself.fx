224#include "main.fx"
