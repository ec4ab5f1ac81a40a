# Writes the demo release into OUT: three components made of the test fixtures under the names a
# portal would publish. scripts/run has velsetup-manifest write the manifest from this folder.
# Run with cmake -P.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
file(COPY_FILE "${FIXTURES}/com_server.dll" "${OUT}/OrbinaViewer.dll")
file(COPY_FILE "${FIXTURES}/version_1_2_3_4.dll" "${OUT}/OrbinaCodec.dll")
file(COPY_FILE "${FIXTURES}/recorder.exe" "${OUT}/OrbinaAgent.exe")
