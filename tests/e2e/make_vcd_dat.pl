#!/usr/bin/perl
# Wraps an MPEG program stream of 2324-byte packs (as ffmpeg's "-target pal-vcd" writes it) in
# the RIFF/CDXA file of a Video CD track: raw 2352-byte Mode 2 sectors, each with its sync,
# header, subheader, one pack and an EDC, after a few empty leading sectors.
# Usage: make_vcd_dat.pl input.mpg output.dat
use strict;
use warnings;

my ($input, $output) = @ARGV;
die "usage: $0 input.mpg output.dat\n" unless defined $output;

my $payload_size = 2324;
my $empty_leading = 10;

open(my $in, '<:raw', $input) or die "$input: $!\n";
my $mpeg = do { local $/; <$in> };
close($in);

my $sectors = $empty_leading + int((length($mpeg) + $payload_size - 1) / $payload_size);
my $data_size = $sectors * 2352;

open(my $out, '>:raw', $output) or die "$output: $!\n";
print $out 'RIFF', pack('V', 4 + 8 + 16 + 8 + $data_size), 'CDXA';
print $out 'fmt ', pack('V', 16), pack('C*', 0, 0, 0, 0, 0, 0, 0x11, 0x55), 'XA', pack('C*', 1, 0, 0, 0, 0, 0);
print $out 'data', pack('V', $data_size);

sub bcd { my ($v) = @_; return (int($v / 10) << 4) | ($v % 10); }

for my $sector (0 .. $sectors - 1) {
    my $address = $sector + 150 + 18 * 75;  # a track after the disc's data track
    print $out pack('C*', 0, (0xff) x 10, 0);
    print $out pack('C*', bcd(int($address / 75 / 60)), bcd(int($address / 75) % 60), bcd($address % 75), 2);
    print $out pack('C*', 1, 1, 0x62, 0x0f, 1, 1, 0x62, 0x0f);
    my $chunk = '';
    if ($sector >= $empty_leading) {
        $chunk = substr($mpeg, ($sector - $empty_leading) * $payload_size, $payload_size);
    }
    print $out $chunk, "\0" x ($payload_size - length($chunk));
    print $out "\0" x 4;
}
close($out) or die "$output: $!\n";
