#include "app/app_state.h"
#include "app/song_source.h"

// Both zero at program start, with no constructor to run.
AppState app_state;
SongSource song_source;
