#!/usr/bin/env bash
# Makes the small video files the media tests read: two seconds of a generated test picture and
# a tone in each container the film editor and the disc scan accept. The parameters are fixed so
# the tests know what each file holds (see expected.tsv beside this script). Needs ffmpeg; the
# files are kept in the repository, so running the tests does not.
set -euo pipefail
cd "$(dirname "$0")"
ff=(ffmpeg -hide_banner -loglevel error -y -fflags +bitexact)
pic() { echo "color=c=0x3060a0:size=$1:rate=$2:duration=2"; }
tone() { echo "sine=frequency=440:sample_rate=$1:duration=2"; }
make() { # NAME PICTURE TONE CHANNELS ARGS...
    local name=$1 picture=$2 sound=$3 channels=$4
    shift 4
    "${ff[@]}" -f lavfi -i "$picture" -f lavfi -i "$sound" -ac "$channels" -map 0:v -map 1:a \
        -map_metadata -1 -flags +bitexact "$@" "$name"
}
make h264_ac3.mkv "$(pic 320x240 25)" "$(tone 48000)" 6 \
    -c:v libx264 -preset ultrafast -b:v 40k -c:a ac3 -b:a 96k
make h264_aac.mp4 "$(pic 176x144 24000/1001)" "$(tone 44100)" 2 \
    -c:v libx264 -preset ultrafast -b:v 30k -c:a aac -b:a 32k
make h264_aac.m4v "$(pic 160x120 30)" "$(tone 22050)" 1 \
    -c:v libx264 -preset ultrafast -b:v 30k -c:a aac -b:a 32k
make mpeg4_aac.mov "$(pic 160x120 25)" "$(tone 48000)" 2 \
    -c:v mpeg4 -b:v 40k -c:a aac -b:a 32k
make vp9_opus.webm "$(pic 160x120 25)" "$(tone 48000)" 2 \
    -c:v libvpx-vp9 -b:v 30k -deadline realtime -c:a libopus -b:a 32k
make mpeg1_mp2.mpg "$(pic 160x120 25)" "$(tone 44100)" 2 \
    -c:v mpeg1video -b:v 100k -c:a mp2 -b:a 32k -f mpeg
make mpeg2_mp2.mpeg "$(pic 352x288 25)" "$(tone 48000)" 2 \
    -c:v mpeg2video -b:v 100k -c:a mp2 -b:a 32k -f vob
make mpeg2_ac3.vob "$(pic 352x288 25)" "$(tone 48000)" 2 \
    -c:v mpeg2video -b:v 100k -c:a ac3 -b:a 64k -f vob
make h264_aac.ts "$(pic 160x120 25)" "$(tone 48000)" 2 \
    -c:v libx264 -preset ultrafast -b:v 30k -c:a aac -b:a 32k -f mpegts
make h264_ac3.m2ts "$(pic 160x120 25)" "$(tone 48000)" 2 \
    -c:v libx264 -preset ultrafast -b:v 30k -c:a ac3 -b:a 64k -f mpegts -mpegts_m2ts_mode 1
make theora_vorbis.ogv "$(pic 160x120 25)" "$(tone 44100)" 2 \
    -c:v libtheora -b:v 40k -c:a libvorbis -q:a 0 -f ogg
make theora_vorbis.ogm "$(pic 160x120 25)" "$(tone 22050)" 1 \
    -c:v libtheora -b:v 40k -c:a libvorbis -q:a 0 -f ogg
make wmv2_wma.wmv "$(pic 160x120 25)" "$(tone 44100)" 2 \
    -c:v wmv2 -b:v 40k -c:a wmav2 -b:a 32k -f asf
make msmpeg4_wma.asf "$(pic 160x120 25)" "$(tone 44100)" 1 \
    -c:v msmpeg4 -b:v 40k -c:a wmav2 -b:a 32k -f asf
make flv_mp3.flv "$(pic 160x120 25)" "$(tone 44100)" 2 \
    -c:v flv -b:v 40k -c:a libmp3lame -b:a 32k
make xvid_mp3.avi "$(pic 320x240 25)" "$(tone 44100)" 2 \
    -c:v libxvid -b:v 60k -c:a libmp3lame -b:a 32k
make xvid_mp3.divx "$(pic 160x120 25)" "$(tone 44100)" 2 \
    -c:v libxvid -b:v 40k -c:a libmp3lame -b:a 32k -f avi
# Not a video: a text file under a video name.
printf 'To jest lista zakupów, nie film.\n' > notes.mkv
