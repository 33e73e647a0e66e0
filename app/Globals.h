#pragma once
// The program's global objects. Those defined in Globals.cpp are constructed
// before main in this order (an order is certain only within one source
// file) and destroyed in the reverse order after it:
//
//   theApp               the application object
//   the application data (AppData.h): lists empty, nothing else set
//   g_ToolSet            one instance of every editing tool; the start-up
//                        stages initialise it, the main window's end
//                        releases the tools' option panels
//   g_MergeJobQueue      the group-photo merge worker pool, no workers
//   g_TempFileNamesLock  the lock of the temporary-file list (AppData.h)
//   theServerThread      the companion-service client; the application's
//                        start-up starts its thread, main stops and joins
//                        it once the application has ended
//
// The other process-wide objects are defined beside the code that uses them,
// because their libraries and tests run without the application:
//
//   g_MenuIcons          editor/MenuCatalogue.cpp; the menu icon strip, empty
//                        until the start-up stages cut it into 16-pixel icons.
//   theAlgorithmThread   algorithms/AlgorithmThread.cpp; built not started,
//                        before or after the objects above (unspecified).
//                        None of them uses it: the main window's start-up
//                        stages start it (through main's hooks) and the
//                        application's hook shuts it down once the window is
//                        gone, so its destructor finds it stopped.
//   RawDecodeLock        image/CameraRaw.cpp; a std::mutex, ready before any
//                        code runs (constant initialisation), nothing to
//                        tear down.
//   UIResources()        ui/UIResources.cpp; built at its first call.
//   HelpLoaderThread(i)  ui/HelpLoaderThread.cpp; both thumbnail loaders
//                        built at the first call, not started.
//   ObjectRegistry()     ui/LiveObjectRegistry.cpp; built at its first call,
//                        never destroyed.
//   g_RenderWindow       ui/RenderWindow.cpp; a null atomic pointer until the
//                        window exists.
//   the album's folders, g_ConfigFilePath, g_DataFolder
//                        album/ConfigFile.cpp; empty until InitAppData.
//   GlobalPhotoInfoCache(), PhotoScanThread(), ThumbnailLoader(i),
//   ThumbnailBudget()    album/; each built at its first call. The scan
//                        thread and the loaders' work stop with the window
//                        they registered with or were installed in.
//
// An object built at its first call is built after main has begun, so it is
// destroyed before the objects of Globals.cpp.

#include "app/AppData.h"
#include "app/BrightforgeApp.h"
#include "app/ServerThread.h"
#include "editor/MenuCatalogue.h"
#include "editor/ToolSet.h"
#include "image/ImageArray.h"
#include "merge/MergeJobQueue.h"

extern CBrightforgeApp theApp;
extern CToolSet g_ToolSet;
extern CMergeJobQueue g_MergeJobQueue;
extern CServerThread theServerThread;
