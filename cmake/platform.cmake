# Which side of each platform seam this build compiles.
if(WIN32)
  set(KPV_PLATFORM win32)
else()
  set(KPV_PLATFORM posix)
endif()
