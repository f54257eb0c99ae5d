// Stands in for <winbase.h> while the core is compiled: the core must not include platform headers.
#error "the component core includes a platform header: <winbase.h>"
