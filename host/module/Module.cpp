// kelmar.so: the module as the host loads it. Its code is the hostmodule
// library, taken in whole; kelmar.map exports the version record, the
// folder and the icons' functions, and nothing else.
