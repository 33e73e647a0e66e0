#pragma once
// The global objects of the program. They are defined together in
// Globals.cpp, because their order of construction matters and is only
// certain within one source file: constructed in this order before main,
// destroyed in the reverse order after it.
//
//  1  theApp, the application object
//  2  the application data (AppData.h)
//  3  the photo-info cache lock           (joins with the album)
//  4  the photo-scan thread object        (joins with the album)
//  5  g_MenuIcons                         (joins with the menu catalogue)
//  6  the service-client thread object    (joins with the service client)
//  7  the tool set                        (joins with the editor tools)
//  8  RawDecodeLock                       (joins with the camera-RAW decoder)
//  9  the UI resources                    (joins with the sprite toolkit)
// 10  the live-object registry            (joins with the sprite toolkit)
// 11, 12  the two thumbnail loader threads (join with the album)
// 13  the algorithm thread and its listener (join with the algorithm engine)
// 14  g_MergeJobQueue, the merge worker pool

#include "app/AppData.h"
#include "app/BrightforgeApp.h"
#include "merge/MergeJobQueue.h"

extern CBrightforgeApp theApp;
extern CMergeJobQueue g_MergeJobQueue;
