// A stand-in for the gpsim plugin on a station without the gpsim package: the
// plugin needs a gpsim library that is not installed, so loading it fails as it
// would there. Built twice: as that library (never installed) and as the plugin.
#ifdef MRK_PLUGIN
int mrk_missing_gpsim_function();
int mrk_plugin_uses_gpsim() { return mrk_missing_gpsim_function(); }
#else
int mrk_missing_gpsim_function() { return 1; }
#endif
