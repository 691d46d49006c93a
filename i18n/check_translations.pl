#!/usr/bin/perl
# The translations' check, run by the tests:
#   check_translations.pl LUPDATE TS SOURCE...
# Fails when
#  - a text to translate is not in TS as it stands (lupdate over the sources
#    would change it: texts added, changed or gone since it was updated),
#  - a message of TS has no finished English translation, or its translation
#    lacks a %1, %2, ... of its source,
#  - a source has a Russian literal that no translation marker (tr,
#    translate, QT_TRANSLATE_NOOP, QT_TR_NOOP) takes: a user-visible text
#    that bypasses the translations.  A literal that is meant to stay as it
#    is says so with "untranslated" in a comment on its line.
use strict;
use warnings;
use utf8;
use File::Copy qw(copy);
use File::Temp qw(tempdir);

binmode STDOUT, ':encoding(UTF-8)';
my ($lupdate, $ts, @sources) = @ARGV;
die "usage: check_translations.pl LUPDATE TS SOURCE...\n" unless $lupdate && $ts && @sources;
my @faults;

# 1. The file is what lupdate makes of the sources.
my $dir = tempdir(CLEANUP => 1);
my $copy = "$dir/check.ts";
copy($ts, $copy) or die "$ts: $!";
system($lupdate, qw(-silent -source-language ru_RU -target-language en_US -locations none -no-obsolete),
       @sources, '-ts', $copy) == 0 or die "lupdate failed\n";
push @faults, "$ts is not up to date with the sources: build the target update_translations and translate "
            . "what it adds" if Slurp($ts) ne Slurp($copy);

# 2. Every message translated, with its placeholders.
my $text = Slurp($ts);
my $messages = 0;
while ($text =~ m{<context>\s*<name>([^<]*)</name>(.*?)</context>}gs) {
    my ($context, $body) = ($1, $2);
    while ($body =~ m{<source>(.*?)</source>\s*<translation([^>]*)>(.*?)</translation>}gs) {
        my ($source, $attributes, $translation) = ($1, $2, $3);
        ++$messages;
        my $where = "$context: \"" . Short($source) . '"';
        if ($attributes =~ /type=/ || $translation eq '') {
            push @faults, "$where has no finished translation";
            next;
        }
        for my $arg ($source =~ /(%\d)/g) {
            push @faults, "$where: the translation lacks $arg" if index($translation, $arg) < 0;
        }
    }
}
push @faults, "$ts has no messages" unless $messages;

# 3. No Russian literal outside the markers.
my $literal = qr/(?:u8)?R"\((?:.|\n)*?\)"|(?:u8|L|u|U)?"(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*'/;
my $marker = qr/\b(?:tr|translate|QT_TRANSLATE_NOOP|QT_TR_NOOP)\s*\(\s*(?:(?:$literal|[\w:]+)\s*,\s*)?/;
for my $file (@sources) {
    my $code = Slurp($file);
    # Comments go (an "untranslated" one leaves its mark), literals stay.
    $code =~ s{($literal)|//([^\n]*)|/\*((?:.|\n)*?)\*/}{
        my ($l, $line, $block) = ($1, $2, $3);
        defined $l ? $l : defined $line ? ($line =~ /untranslated/ ? ' @untranslated@' : '') : ($block =~ s/[^\n]//gr)
    }ge;
    # The texts that markers take: the whole run of literals after one.
    $code =~ s{($marker)((?:$literal\s*)+)}{ my ($m, $t) = ($1, $2); $m . ($t =~ s/[^\n]//gr) }ge;
    my $line = 0;
    for (split /\n/, $code, -1) {
        ++$line;
        next if /\@untranslated\@/;
        while (/($literal)/g) {
            my $l = $1;
            push @faults, "$file:$line: $l does not go through the translations" if $l =~ /\p{Cyrillic}/;
        }
    }
}

print "$_\n" for @faults;
print "translations: $messages messages, " . scalar(@sources) . " sources, " . scalar(@faults) . " faults\n";
exit(@faults ? 1 : 0);

sub Slurp {
    my ($path) = @_;
    open my $fh, '<:encoding(UTF-8)', $path or die "$path: $!";
    local $/;
    return scalar <$fh>;
}

sub Short {
    my ($s) = @_;
    $s =~ s/\s+/ /g;
    return length($s) > 60 ? substr($s, 0, 60) . '…' : $s;
}
