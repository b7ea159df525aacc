# A version resource for each Windows program, from project(): Explorer shows
# it under Properties, Details. windres (MinGW-w64) compiles it.
enable_language(RC)
set(resource_description_resection "Interseccao inversa: coordenadas e cota da estacao")
set(resource_description_resection-analise
    "Interseccao inversa: analise das leituras, elipse de erro, geometria e esboco")
foreach(program resection resection-analise)
  set(RESOURCE_NAME ${program})
  set(RESOURCE_DESCRIPTION "${resource_description_${program}}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${PROJECT_BINARY_DIR}/${program}.rc @ONLY)
  target_sources(${program} PRIVATE ${PROJECT_BINARY_DIR}/${program}.rc)
endforeach()
