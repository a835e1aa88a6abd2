# Writes the data directory: run with -DSOURCE, -DSTAGE, -DOUTPUT, -DLINT, -DSTRINGS, -DPACK,
# -DSFXSYNTH, -DSOUNDBANK, -DIMAGEGEN, -DFONTGEN, -DTRUETYPE, -DDEMOSONG, -DFILMMAKER.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "data: '${ARGN}' failed (${result})")
  endif()
endfunction()

run(${LINT} ${SOURCE}/Scripts)

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE} ${OUTPUT})

# Everything but the build files and the string-table sources is packed as it stands.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(file ${files})
  if(file MATCHES "^(CMakeLists.txt|BuildData.cmake)$" OR file MATCHES "^Lang/[^/]+/Strings/[^/]+\\.txt$")
    continue()
  endif()
  get_filename_component(folder ${STAGE}/${file} DIRECTORY)
  file(COPY ${SOURCE}/${file} DESTINATION ${folder})
endforeach()

# One string-table folder per language.
file(GLOB languages RELATIVE ${SOURCE}/Lang ${SOURCE}/Lang/*)
foreach(language ${languages})
  file(GLOB tables ${SOURCE}/Lang/${language}/Strings/*.txt)
  if(tables)
    file(MAKE_DIRECTORY ${STAGE}/Lang/${language}/Strings)
    run(${STRINGS} ${STAGE}/Lang/${language}/Strings ${tables})
  endif()
endforeach()

# The sound effects: synthesised samples in Audio/ and the bank written beside them from its
# cue list. Samples stay plain in the package (the packer's default for audio), so a streamed
# one can be read straight from the data file.
file(MAKE_DIRECTORY ${STAGE}/Audio)
run(${SFXSYNTH} ${STAGE}/Audio)
run(${SOUNDBANK} ${SOURCE}/Audio/ZUNO_SFX.cues ${STAGE}/Audio ${STAGE}/Audio)

# The images the start-up loads, drawn by the generator into Images/ and the guardian's eye
# frames into Animations/ (PNG stays plain in the package).
run(${IMAGEGEN} ${STAGE})

# The interface's bitmap font faces: atlases and glyph tables in Fonts/, rasterised from the
# TrueType fonts.
run(${FONTGEN} ${STAGE} ${TRUETYPE})

# The demo song stays a loose file in the soundtrack folder beside the package: the song scan
# reads folders on disk, never the package.
file(MAKE_DIRECTORY ${OUTPUT}/Soundtrack)
run(${DEMOSONG} "${OUTPUT}/Soundtrack/Velodrix Demo.wav")

# The splash screen's intro film, made from the guardian's eye frames drawn above. Films are read
# from disk, so it stays a loose file in FMV/ beside the package.
file(GLOB eye_frames ${STAGE}/Animations/eye-*_1080.png)
list(SORT eye_frames)
file(MAKE_DIRECTORY ${OUTPUT}/FMV)
run(${FILMMAKER} ${OUTPUT}/FMV/VelodrixIntro.mov ${eye_frames})

run(${PACK} --compress *.txt --compress *.ini --compress *.lang ${STAGE} ${OUTPUT} ASPEC)
