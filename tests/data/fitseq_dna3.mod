MODEL -- three positions A C G
% transitions into D, M, I from D, M, I; then match and insert emissions of A G C T (the DNA alphabet's order)
alphabet DNA
Begin
 0 0 0   0 0 0   0 0.05 0.5
 0 0 0 0   0.25 0.25 0.25 0.25
1
 0 0.05 0   0 0.9 0.5   0 0.05 0.5
 0.97 0.01 0.01 0.01   0.25 0.25 0.25 0.25
2
 0.5 0.05 0   0.5 0.9 0.5   0 0.05 0.5
 0.01 0.01 0.97 0.01   0.25 0.25 0.25 0.25
3
 0.5 0.05 0   0.5 0.9 0.5   0 0.05 0.5
 0.01 0.97 0.01 0.01   0.25 0.25 0.25 0.25
End
 0 0 0   1 0.95 0.5   0 0 0
 0 0 0 0   0 0 0 0
ENDMODEL
