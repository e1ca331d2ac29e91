# The request suites that the driver's comparisons send, each against the
# driver logic run natively: pelmixctl.exe with the emulated-hardware driver
# under Wine (tests/wine), and the shipped Pelmix.sys through the model NT
# kernel (tests/ntmodel). PELMIX_REQUEST_SUITES names them; PELMIX_SUITE_NAME
# holds a suite's machine file, FILES and COMMANDS, as both tests take them.
set(suite_machines ${CMAKE_CURRENT_LIST_DIR}/wine/machines)
set(PELMIX_REQUEST_SUITES)

macro(pelmix_suite name)
  set(PELMIX_SUITE_${name} ${ARGN})
  list(APPEND PELMIX_REQUEST_SUITES ${name})
endmacro()

# Every request on one card: identify, whole-chip and page reads and writes,
# erase, and the length and code checks.
macro(pelmix_card_suite name machine target image_size)
  pelmix_suite(${name} ${machine}
    FILES card.bin:${image_size}:1 new.bin:131072:2 patch.bin:256:3
    COMMANDS enum identify ${target} read-rom ${target} before.bin
             write-rom ${target} new.bin read-rom ${target} after.bin
             read-pages ${target} 256 2 pages.bin
             write-pages ${target} 0 patch.bin write-pages-preerased ${target} 128 patch.bin
             read-pages ${target} 0 4 patched.bin
             erase ${target} read-rom ${target} erased.bin
             write-rom-preerased ${target} new.bin
             raw 0x222024 4 4 raw 0x222000 4 455 raw 0x22200C 27 27)
endmacro()

pelmix_card_suite(family1_page_chip ${suite_machines}/family1-page-chip.machine 0:0a.0 131072)
pelmix_card_suite(family2_agp_erase_chip ${suite_machines}/family2-agp-erase-chip.machine 1:00.0 131072)
pelmix_card_suite(family3_memory_off ${suite_machines}/family3-memory-off.machine 0:0b.0 131072)
pelmix_card_suite(family4_64k_four_cpus ${suite_machines}/family4-64k-four-cpus.machine 0:0c.0 65536)

# Every code at lengths that pass its checks, with several results: no reply
# brings back the stale memory that the driver finds past the input.
set(target_hex ffffffff000000000a00000000000000)
pelmix_suite(stale_system_buffer ${suite_machines}/family1-page-chip.machine
  FILES card.bin:131072:19
  COMMANDS raw 0x222000 0 456 raw 0x222000 4 600
           raw 0x22201C 0 64 raw 0x22201C 16 100 ${target_hex} raw 0x22201C 12 64 ${target_hex}
           raw 0x222004 16 131100 ${target_hex}
           raw 0x22200C 27 411 ${target_hex}0001000003000000
           raw 0x22200C 27 27 ${target_hex}4000000000000000
           raw 0x222010 283 300 ${target_hex}0000000002000000
           raw 0x222020 283 4 ${target_hex}8000000002000000
           raw 0x222014 16 64 ${target_hex}
           raw 0x222018 131088 131100 ${target_hex} raw 0x222008 131088 131088 ${target_hex})

pelmix_suite(two_cards ${suite_machines}/two-cards.machine
  FILES first.bin:131072:6 second.bin:131072:7 new.bin:131072:8
  COMMANDS enum identify 0:0a.0 identify 1:00.0 write-rom 1:00.0 new.bin
           read-rom 0:0a.0 first-read.bin read-rom 1:00.0 second-read.bin identify 2:00.0)

pelmix_suite(other_chips ${suite_machines}/other-chips.machine
  FILES bytes.bin:131072:9 silent.bin:131072:10 new.bin:131072:11
  COMMANDS enum identify 0:0a.0 write-rom 0:0a.0 new.bin read-rom 0:0a.0 bytes-read.bin
           identify 0:0b.0 read-rom 0:0b.0 silent-read.bin write-rom 0:0b.0 new.bin)

pelmix_suite(nine_cards ${CMAKE_SOURCE_DIR}/tools/pelmixctl/samples/nine-cards.machine
  COMMANDS enum identify 0:01.0 identify 0:09.0)

pelmix_suite(mapping_and_chip_faults ${suite_machines}/mapping-and-chip-faults.machine
  FILES a.bin:131072:12 b.bin:131072:13 c.bin:131072:14 d.bin:131072:15 new.bin:131072:16
  COMMANDS enum identify 0:0a.0 identify 0:0b.0 write-rom 0:0c.0 new.bin
           write-rom 0:0d.0 new.bin read-rom 0:0d.0 d-read.bin)

foreach(fault cpu-query cpu-thread cpu-timeout)
  string(REPLACE "-" "_" fault_name ${fault})
  pelmix_suite(fault_${fault_name} ${suite_machines}/fault-${fault}.machine
    FILES card.bin:131072:17 new.bin:131072:18
    COMMANDS enum identify 0:0a.0 write-rom 0:0a.0 new.bin read-rom 0:0a.0 after.bin)
endforeach()
