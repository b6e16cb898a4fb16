#pragma once

// The names sorvik and its clients meet by on the session bus, for both sides; the members of
// each interface are in engine/sorvik/TavrinEXE.xml. Macros, so that class infos can use them.
#define TAVRINEXE_SERVICE "TavrinEXE.TavrinX"
#define TAVRINEXE_FACTORY_PATH "/TavrinEXE/TavrinX"
#define TAVRINEXE_COLLECTION_PATH "/TavrinEXE/Collection"
#define TAVRINEXE_FACTORY_INTERFACE "TavrinEXE.ClassFactory"
#define TAVRINEXE_ENGINE_INTERFACE "TavrinEXE._TavrinX"
#define TAVRINEXE_EVENTS_INTERFACE "TavrinEXE.__TavrinX"
#define TAVRINEXE_COLLECTION_INTERFACE "TavrinEXE.Collection"
#define TAVRINEXE_ERROR_TYPE_MISMATCH "TavrinEXE.Error.TypeMismatch"
#define TAVRINEXE_ERROR_SUBSCRIPT_OUT_OF_RANGE "TavrinEXE.Error.SubscriptOutOfRange"
#define TAVRINEXE_ERROR_PLATFORM "TavrinEXE.Error.Platform"
